# The anchor writes the same values straight into SQLite.
target_link_libraries(${name} PRIVATE PkgConfig::SQLITE3)

# Run by cpack after the packages are made. CPack gives a package with a
# shared library in /usr/lib a postinst and postrm that call ldconfig; the
# package's ldconfig trigger does that work, so the two scripts come out again.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(deb MATCHES "/libkorvex3_[^/]*\\.deb$")
    set(dir ${deb}.unpacked)
    file(REMOVE_RECURSE ${dir})
    execute_process(COMMAND dpkg-deb -R ${deb} ${dir} COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE ${dir}/DEBIAN/postinst ${dir}/DEBIAN/postrm)
    execute_process(COMMAND dpkg-deb --root-owner-group -b ${dir} ${deb} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${dir})
  endif()
endforeach()

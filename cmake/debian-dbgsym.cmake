# Run by cpack after the packages are made. CPack's -dbgsym packages list
# their files in md5sums by absolute build paths and carry no documentation
# folder; each is rebuilt with md5sums by relative paths, its .debug files
# 0644, and /usr/share/doc/<package>-dbgsym a link to the folder of the
# package whose symbols it holds (and depends on), as Debian's debug packages
# have it.
list(GET CPACK_PACKAGE_FILES 0 first_deb)
get_filename_component(deb_dir ${first_deb} DIRECTORY)
file(GLOB ddebs ${deb_dir}/*-dbgsym_*.ddeb)
foreach(ddeb IN LISTS ddebs)
  get_filename_component(name ${ddeb} NAME)
  string(REGEX REPLACE "-dbgsym_.*" "" package ${name})
  set(dir ${ddeb}.unpacked)
  file(REMOVE_RECURSE ${dir})
  execute_process(COMMAND dpkg-deb -R ${ddeb} ${dir} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE files RELATIVE ${dir} ${dir}/usr/*)
  set(md5sums "")
  foreach(file IN LISTS files)
    file(CHMOD ${dir}/${file} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    file(MD5 ${dir}/${file} sum)
    string(APPEND md5sums "${sum}  ${file}\n")
  endforeach()
  file(WRITE ${dir}/DEBIAN/md5sums "${md5sums}")
  file(MAKE_DIRECTORY ${dir}/usr/share/doc)
  file(CREATE_LINK ${package} ${dir}/usr/share/doc/${package}-dbgsym SYMBOLIC)
  execute_process(COMMAND dpkg-deb --root-owner-group -b ${dir} ${ddeb} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${dir})
endforeach()

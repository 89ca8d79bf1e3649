# Run by cpack after it has made a .deb: gives the package's three members mode 0644, as
# dpkg-deb does, in place of the modes that the builder's umask left them.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE ${package} package_size)
  set(header 8) # after the archive's "!<arch>\n"
  while(header LESS package_size)
    # Each member's header: name 16, time 12, owner 6, group 6, mode 8, size 10, magic 2.
    math(EXPR mode_at "${header} + 40")
    math(EXPR size_at "${header} + 48")
    file(READ ${package} member_size OFFSET ${size_at} LIMIT 10)
    string(STRIP "${member_size}" member_size)
    execute_process(COMMAND sh -c "printf '100644  ' | dd of=\"$0\" bs=1 seek=$1 conv=notrunc status=none"
                            ${package} ${mode_at} COMMAND_ERROR_IS_FATAL ANY)
    math(EXPR header "${header} + 60 + ${member_size} + ${member_size} % 2")
  endwhile()
endforeach()

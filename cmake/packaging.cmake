# What is installed, and how cpack packs it: the Windows program as a zip; the Linux program as a
# .deb and a .tar.gz, each named for the Debian architecture whose machines run it, the one the
# build is for (a cross build's too, not the building machine's).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackProjectConfig.cmake)
# Installed directories get these modes whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(NETCFG_MAINTAINER "The halmere-netcfg authors <halmere-netcfg@example.org>")
set(NETCFG_DEPENDS_FROM "")

if(WIN32)
  math(EXPR bits "${CMAKE_SIZEOF_VOID_P} * 8")
  set(CPACK_SYSTEM_NAME win${bits})
  install(TARGETS halmere-netcfg RUNTIME DESTINATION .)
  # Text files end lines with CR LF, as every Windows editor reads them. The example settings
  # are in a folder of their own, so that no file of the zip is named as a user's settings or
  # image beside the program.
  foreach(text README.md:README.md example/halmere02.ini:example/halmere02.ini LICENSE:LICENSE.txt
          doc/windows-notices.txt:NOTICES.txt)
    string(REPLACE ":" ";" text ${text})
    list(GET text 0 from)
    list(GET text 1 to)
    configure_file(${from} generated/zip/${to} @ONLY NEWLINE_STYLE CRLF)
    get_filename_component(folder ./${to} DIRECTORY)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/zip/${to} DESTINATION ${folder})
  endforeach()
  # The manual page as text, for Windows users, who have no man: rendered by groff as man shows
  # it, 78 columns wide and without hyphenation, so that its words stand whole; its lines end with
  # CR LF too.
  configure_file(doc/halmere-netcfg.1.in generated/halmere-netcfg.1 @ONLY)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C groff -man -Tascii -P-cbou -rHY=0
                          -rLL=78n generated/halmere-netcfg.1
                  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} RESULT_VARIABLE status
                  OUTPUT_VARIABLE manual ERROR_VARIABLE error)
  if(NOT status EQUAL 0 OR manual STREQUAL "")
    message(FATAL_ERROR "groff renders no manual for the zip (${status}): ${error} "
                        "(sh scripts/install-deps.sh installs groff-base)")
  endif()
  string(REPLACE "\n" "\r\n" manual "${manual}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/generated/zip/MANUAL.txt "${manual}")
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/zip/MANUAL.txt DESTINATION .)
  # The README's picture of the program's window, where its link finds it.
  install(FILES doc/explorer-window.png DESTINATION doc)
  set(CPACK_GENERATOR ZIP)
else()
  # The Debian architecture: a cross build's is the one it was asked for, a native build's the
  # machine's own, as dpkg names it.
  if(CMAKE_CROSSCOMPILING)
    set(NETCFG_DEB_ARCH ${NETCFG_ARCH})
  else()
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE NETCFG_DEB_ARCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT NETCFG_DEB_ARCH)
      string(TOLOWER ${CMAKE_SYSTEM_PROCESSOR} NETCFG_DEB_ARCH)
    endif()
  endif()
  set(CPACK_SYSTEM_NAME linux-${NETCFG_DEB_ARCH})
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${NETCFG_DEB_ARCH})

  # What the static program carries of other packages: the C library and GCC's run-time library
  # that this compiler links in, each as the Debian source package, at its version, of the
  # package that installed the file (a cross compiler's are packaged from the same sources under
  # other names). A .deb that cannot say so is not made; cpack says why.
  set(problem "")
  foreach(part glibc:libc.a gcc:libgcc.a)
    string(REPLACE ":" ";" part ${part})
    list(GET part 0 name)
    list(GET part 1 library)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(owner "")
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      file(REAL_PATH ${path} path)
      execute_process(COMMAND dpkg-query -S ${path} OUTPUT_VARIABLE owner ERROR_QUIET)
      string(REGEX MATCH "^[^ ]+[^ :]" owner "${owner}")
    endif()
    set(source "")
    if(owner)
      execute_process(COMMAND dpkg-query -W "-f=\${source:Package} \${source:Version}" ${owner}
                      OUTPUT_VARIABLE source ERROR_QUIET)
    endif()
    if(source MATCHES "^([^ ]+) ([^ ]+)$")
      set(NETCFG_BUILT_USING_${name} "${CMAKE_MATCH_1} (= ${CMAKE_MATCH_2})")
      set(NETCFG_OWNER_${name} ${owner})
    else()
      string(APPEND problem " ${CMAKE_CXX_COMPILER} links ${path}, which dpkg knows as no "
             "installed package's file.")
    endif()
  endforeach()
  # The GCC Runtime Library Exception, which no Debian system keeps where every package can point
  # at it, is copied in from the copyright file of the package whose libgcc.a is linked.
  set(NETCFG_GCC_EXCEPTION "")
  # A package's copyright file is named for it without its architecture.
  string(REGEX REPLACE ":.*" "" owner "${NETCFG_OWNER_gcc}")
  set(gcc_copyright /usr/share/doc/${owner}/copyright)
  set(part "")
  if(owner AND EXISTS ${gcc_copyright})
    file(STRINGS ${gcc_copyright} lines)
    foreach(line IN LISTS lines)
      if(line STREQUAL "GCC RUNTIME LIBRARY EXCEPTION")
        set(part title)
      elseif(part STREQUAL title AND line MATCHES "^2\\. No Weakening")
        set(part last)
      elseif(part STREQUAL last AND line MATCHES "\\.$")
        string(APPEND NETCFG_GCC_EXCEPTION "\n ${line}")
        break()
      endif()
      if(part AND line STREQUAL "")
        string(APPEND NETCFG_GCC_EXCEPTION "\n .")
      elseif(part)
        string(APPEND NETCFG_GCC_EXCEPTION "\n ${line}")
      endif()
    endforeach()
  endif()
  if(owner AND NOT part STREQUAL last)
    set(NETCFG_GCC_EXCEPTION "")
    string(APPEND problem " ${gcc_copyright} holds no GCC Runtime Library Exception.")
  endif()
  set(CPACK_NETCFG_BUILT_USING_PROBLEM "")
  if(NETCFG_STATIC_PROGRAM AND problem)
    set(CPACK_NETCFG_BUILT_USING_PROBLEM "${problem}")
    message(WARNING "No .deb can be made from this build: what its static program carries of "
                    "other packages (Built-Using) cannot be told.${problem}")
  endif()
  # A dynamic program holds only its own code: the copyright file has no stanza, and no licences,
  # for what a static one carries of the C library and GCC.
  file(READ doc/copyright.in copyright)
  if(NOT NETCFG_STATIC_PROGRAM)
    string(REGEX REPLACE "Files: usr/bin/[^\n]*\n([^\n]+\n)*\n" "" copyright "${copyright}")
    string(REGEX REPLACE "\n\nLicense: LGPL-2\\.1\\+.*" "\n" copyright "${copyright}")
  endif()
  file(CONFIGURE OUTPUT generated/copyright CONTENT "${copyright}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS doc/copyright.in)

  # The manual page and the changelog, compressed as Debian installs them.
  set(compressed "")
  foreach(document doc/halmere-netcfg.1 doc/changelog)
    get_filename_component(name ${document} NAME)
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated/${name})
    configure_file(${document}.in ${generated} @ONLY)
    add_custom_command(OUTPUT ${generated}.gz COMMAND gzip -9nf -k ${generated} DEPENDS ${generated})
    list(APPEND compressed ${generated}.gz)
  endforeach()
  add_custom_target(documents ALL DEPENDS ${compressed})

  include(GNUInstallDirs)
  install(TARGETS halmere-netcfg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/halmere-netcfg.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md ${CMAKE_CURRENT_BINARY_DIR}/generated/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/generated/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES example/halmere02.ini DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  # Only the .deb has lintian check it (CPackProjectConfig.cmake leaves the override out of the
  # .tar.gz).
  if(NETCFG_STATIC_PROGRAM)
    install(FILES doc/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
            RENAME halmere-netcfg COMPONENT lintian)
  endif()

  set(CPACK_GENERATOR TGZ DEB)
  set(CPACK_PACKAGE_CONTACT ${NETCFG_MAINTAINER})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "set the network addresses stored in a halmere02a.dol image")
  # Debian shows the description as it is written: lines of at most 79 characters.
  set(CPACK_PACKAGE_DESCRIPTION
      "halmere-netcfg writes the address an executable image uses as its own, its
gateway and its subnet mask, read from the settings file halmere02.ini, into
the network block of the image halmere02a.dol in the current directory.
It has no options and asks nothing. A failed write has the old bytes put
back, or says that it could not; success is said only once the block is on
the storage device. Runs on one image wait for each other where the file
system keeps locks.")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # CPack writes no Built-Using field of its own: it goes in on the line after the section.
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  if(NETCFG_STATIC_PROGRAM)
    string(APPEND CPACK_DEBIAN_PACKAGE_SECTION
           "\nBuilt-Using: ${NETCFG_BUILT_USING_glibc}, ${NETCFG_BUILT_USING_gcc}")
  elseif(CMAKE_CROSSCOMPILING)
    # A dynamic program of another architecture depends on that architecture's own packages of
    # the libraries it needs, which this machine does not have: cpack has them fetched and asks
    # dpkg-shlibdeps (cross-depends.sh).
    set(NETCFG_DEPENDS_FROM cross)
  else()
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
endif()
configure_file(cmake/CPackProjectConfig.cmake.in CPackProjectConfig.cmake @ONLY)
set(CPACK_PACKAGE_VERSION ${NETCFG_VERSION})
set(CPACK_PACKAGE_CHECKSUM SHA256)
# The zip and the .tar.gz extract into one folder named as the file is, for the release and the
# machine, as the archives of console tools do, not among the files of the folder they are
# extracted in; the .deb keeps its own layout.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)

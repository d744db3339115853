# cmake --install and the Debian package. The installed tree keeps the build's arrangement: the programs in
# bin/, and everything they load together in one private library folder (<libdir>/kelnt/) as in the build's
# lib/: the platform libraries, KELNT.so beside them, and a folder a language with rckelnt.so and qor.hlp.
# The host finds the module beside its libraries and the module finds its languages there too, so an
# installed cvadmin needs no environment variable and works from any folder. The libraries stay private since
# their plain names (libwinapi.so, libui.so) are nobody else's business in /usr/lib.
include(GNUInstallDirs)

set(KELNT_INSTALL_PRIVATE_DIR ${CMAKE_INSTALL_LIBDIR}/kelnt)
file(RELATIVE_PATH KELNT_BIN_TO_PRIVATE ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_FULL_LIBDIR}/kelnt)

get_property(KELNT_LANGUAGE_LIST GLOBAL PROPERTY KELNT_LANGUAGES)
set(KELNT_LANGUAGE_TARGETS)
foreach(language IN LISTS KELNT_LANGUAGE_LIST)
  list(APPEND KELNT_LANGUAGE_TARGETS rckelnt_${language})
endforeach()

# Every shared library of the product folders (not of the tests or benchmarks), found by walking the
# folders, so that a stand-in library added later is installed without a list to keep up.
function(kelnt_collect_shared_libraries dir out)
  set(found ${${out}})
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(SHARED|MODULE)_LIBRARY$" AND NOT target IN_LIST KELNT_LANGUAGE_TARGETS)
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    kelnt_collect_shared_libraries(${subdir} found)
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(KELNT_SHARED_LIBRARIES)
foreach(folder IN LISTS KELNT_FOLDERS)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${folder}/CMakeLists.txt)
    kelnt_collect_shared_libraries(${PROJECT_SOURCE_DIR}/${folder} KELNT_SHARED_LIBRARIES)
  endif()
endforeach()
list(REMOVE_DUPLICATES KELNT_SHARED_LIBRARIES)

# The build tree keeps its absolute run path (CMAKE_BUILD_RPATH); installing rewrites it to these.
set(KELNT_PROGRAMS cvadmin kelnt-agent kelnt-ldap)
set_target_properties(${KELNT_PROGRAMS} PROPERTIES INSTALL_RPATH "$ORIGIN/${KELNT_BIN_TO_PRIVATE}")
set_target_properties(${KELNT_SHARED_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")
if(KELNT_LANGUAGE_TARGETS)
  set_target_properties(${KELNT_LANGUAGE_TARGETS} PROPERTIES INSTALL_RPATH "$ORIGIN/..")
endif()

install(TARGETS ${KELNT_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${KELNT_SHARED_LIBRARIES} LIBRARY DESTINATION ${KELNT_INSTALL_PRIVATE_DIR})
foreach(language IN LISTS KELNT_LANGUAGE_LIST)
  install(TARGETS rckelnt_${language} LIBRARY DESTINATION ${KELNT_INSTALL_PRIVATE_DIR}/${language})
  install(FILES ${CMAKE_BINARY_DIR}/lib/${language}/qor.hlp DESTINATION ${KELNT_INSTALL_PRIVATE_DIR}/${language})
endforeach()
get_property(KELNT_MAN_PAGE_FILES GLOBAL PROPERTY KELNT_MAN_PAGES)
install(FILES ${KELNT_MAN_PAGE_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
set(KELNT_INSTALL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelnt)
# Debian's place for the copyright file is the package's doc folder, under this very name.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/copyright
        DESTINATION ${KELNT_INSTALL_DOC_DIR})

# kelnt_install_script(SOURCE NAME DESTINATION LINE VALUE): installs the shell script SOURCE as NAME in
# DESTINATION, with its line "LINE=" (empty in the source tree, where the script finds things in the tree)
# filled in with VALUE, the way from where it is installed to what it needs. Installed scripts so keep
# working when the whole tree is moved.
function(kelnt_install_script source name destination line value)
  file(READ ${source} text)
  string(REPLACE "\n${line}=\n" "\n${line}=${value}\n" installed "${text}")
  if(installed STREQUAL text)
    message(FATAL_ERROR "${source} lacks its line '${line}=' that the install fills in")
  endif()
  # Written only when it changes, so that nothing is rebuilt or reinstalled for nothing.
  set(file ${CMAKE_BINARY_DIR}/install/${name})
  set(written)
  if(EXISTS ${file})
    file(READ ${file} written)
  endif()
  if(NOT written STREQUAL installed)
    file(WRITE ${file} "${installed}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  install(PROGRAMS ${file} DESTINATION ${destination})
endfunction()

# What the programs' help points to lies in <datadir>/kelnt/ (not in the doc folder, which a system may
# leave out): the tour with what it needs and the script that runs it, and the LDAP server's schema.
set(KELNT_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/kelnt)
install(FILES ${PROJECT_SOURCE_DIR}/examples/tour.cvs ${PROJECT_SOURCE_DIR}/examples/sample.reg
        DESTINATION ${KELNT_INSTALL_DATA_DIR}/examples)
file(RELATIVE_PATH KELNT_EXAMPLES_TO_BIN ${CMAKE_INSTALL_FULL_DATADIR}/kelnt/examples ${CMAKE_INSTALL_FULL_BINDIR})
kelnt_install_script(${PROJECT_SOURCE_DIR}/examples/run-tour.sh run-tour.sh ${KELNT_INSTALL_DATA_DIR}/examples
                     installed_bin ${KELNT_EXAMPLES_TO_BIN})
install(FILES ${PROJECT_SOURCE_DIR}/resources/ldap/kelnt-schema.ldif DESTINATION ${KELNT_INSTALL_DATA_DIR}/ldap)
# The LDAP server script under a name of its own beside kelnt-ldap, which it runs.
file(RELATIVE_PATH KELNT_BIN_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/kelnt)
kelnt_install_script(${PROJECT_SOURCE_DIR}/scripts/ldap-server.sh kelnt-ldap-server ${CMAKE_INSTALL_BINDIR}
                     installed_data ${KELNT_BIN_TO_DATA})

# What an operator runs, and nothing of the tests or benchmarks: the main job builds only this
# (cmake --build build --target product).
add_custom_target(product DEPENDS ${KELNT_PROGRAMS} ${KELNT_SHARED_LIBRARIES} ${KELNT_LANGUAGE_TARGETS}
                                  cvadmin_man kelnt-agent_man)

# cpack -G DEB (in the build folder) makes kelnt_VERSION_ARCH.deb. Its Depends line comes from
# dpkg-shlibdeps reading every program and library in it, so what the package needs is declared by what
# the files really link (SQLite, libsodium, the C++ runtime ...), never assumed.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelnt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KELNT maintainers")
set(CPACK_PACKAGE_CONTACT "KELNT maintainers <kelnt-maintainers@example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "NT accounts in a directory tree: the KELNT snap-in with its host cvadmin")
set(CPACK_PACKAGE_DESCRIPTION
    "KELNT keeps Windows NT domain accounts as objects of a directory tree: NT domains, workgroup systems, \
NT users, global and local groups and hybrid users, with their property pages, group memberships kept in \
step on both sides, and NT passwords sealed with RSA under the NT side's public key. The package holds the \
host program cvadmin, which loads the module and runs its pages from scripts or a prompt, the agent tool \
kelnt-agent for the NT side of the password format, the module's resources and help in each of its \
languages, the tour of a sample directory, and kelnt-ldap and kelnt-ldap-server with the schema to keep the \
directory on an OpenLDAP server.")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no library names: the font that pictures of sheets are drawn in. slapd is the LDAP site's own server,
# not a need of the client: kelnt-ldap-server, which makes one, asks for it when it is missing.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "slapd, ldap-utils")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The package test builds the .deb, unpacks it into a scratch folder and runs the programs from there. A
# sanitizer build is never packaged, so it has no package test.
if(KELNT_BUILD_TESTS AND NOT KELNT_SANITIZE)
  string(REPLACE ";" "," languages "${KELNT_LANGUAGE_LIST}")
  add_test(NAME package_test
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/PackageTest.sh
            ${CMAKE_BINARY_DIR} ${PROJECT_VERSION} ${KELNT_INSTALL_PRIVATE_DIR} "${languages}")
endif()
# The programs build without GoogleTest or Google Benchmark, and the main job's target reaches no test.
if(KELNT_BUILD_TESTS AND CMAKE_GENERATOR STREQUAL "Ninja")
  add_test(NAME plain_build_test
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/PlainBuildTest.sh ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
endif()

# What `cmake --install` puts where, the CMake and pkg-config packages that let
# other projects build on the libraries, the man pages, and the Debian package.
# Included at the end of the top-level CMakeLists.txt, once every target exists.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The libraries other projects link, as Ossel::<name>. Each one's headers are
# those of the source folders it is built from.
set(OSSEL_PUBLIC_LIBRARIES foundation model)
set(OSSEL_foundation_SUMMARY "objects, property-list files, dates and time zones, user defaults, plug-in bundles")
set(OSSEL_model_SUMMARY "DV systems, SMPTE timecodes, capture date-times, clip ids, catalog records, typed containers")
# Headers that only their own folder includes: their folder's code, not the interface.
set(OSSEL_PRIVATE_HEADERS foundation/PropertyListFormats.h platform/CFRuntime.h dv/DVTimeCodeMath.h)
set(OSSEL_BUNDLE_NAME OsselImporter.mdimporter)
set(OSSEL_INSTALL_BUNDLEDIR ${CMAKE_INSTALL_LIBDIR}/ossel/${OSSEL_BUNDLE_NAME})
set(OSSEL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Ossel)
set(OSSEL_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Before 1.0 a minor release may change the binary interface, so the SONAME
# carries the minor version too.
if(PROJECT_VERSION_MAJOR EQUAL 0)
    set(OSSEL_SOVERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
    set(OSSEL_PACKAGE_COMPATIBILITY SameMinorVersion)
else()
    set(OSSEL_SOVERSION ${PROJECT_VERSION_MAJOR})
    set(OSSEL_PACKAGE_COMPATIBILITY SameMajorVersion)
endif()

# Every installed file finds the others relative to itself, so that any prefix
# works (~/.local included) and an installed tree can be moved.
function(ossel_relative_path out from to)
    cmake_path(RELATIVE_PATH to BASE_DIRECTORY ${from} OUTPUT_VARIABLE relative)
    set(${out} ${relative} PARENT_SCOPE)
endfunction()
ossel_relative_path(OSSEL_LIBDIR_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
ossel_relative_path(OSSEL_LIBDIR_FROM_BUNDLE
    ${CMAKE_INSTALL_PREFIX}/${OSSEL_INSTALL_BUNDLEDIR}/Contents/MacOS ${CMAKE_INSTALL_FULL_LIBDIR})
ossel_relative_path(OSSEL_BUNDLEDIR_FROM_BINDIR
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${OSSEL_INSTALL_BUNDLEDIR}/..)
ossel_relative_path(OSSEL_PREFIX_FROM_PKGCONFIGDIR
    ${CMAKE_INSTALL_PREFIX}/${OSSEL_INSTALL_PKGCONFIGDIR} ${CMAKE_INSTALL_PREFIX})

set(OSSEL_INSTALLED_TARGETS)

foreach(lib IN LISTS OSSEL_PUBLIC_LIBRARIES)
    set(target ossel-${lib})
    add_library(Ossel::${lib} ALIAS ${target})
    target_compile_features(${target} INTERFACE cxx_std_20)
    set_target_properties(${target} PROPERTIES
        EXPORT_NAME ${lib}
        VERSION ${PROJECT_VERSION} SOVERSION ${OSSEL_SOVERSION}
        INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${target} EXPORT OsselTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ossel)
    list(APPEND OSSEL_INSTALLED_TARGETS ${target})

    get_target_property(sources ${target} SOURCES)
    set(folders)
    foreach(source IN LISTS sources)
        cmake_path(GET source PARENT_PATH folder)
        cmake_path(RELATIVE_PATH folder BASE_DIRECTORY ${CMAKE_SOURCE_DIR}/src)
        list(APPEND folders ${folder})
    endforeach()
    list(REMOVE_DUPLICATES folders)
    foreach(folder IN LISTS folders)
        file(GLOB headers RELATIVE ${CMAKE_SOURCE_DIR}/src CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
        list(REMOVE_ITEM headers ${OSSEL_PRIVATE_HEADERS})
        list(TRANSFORM headers PREPEND ${CMAKE_SOURCE_DIR}/src/)
        install(FILES ${headers} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ossel/${folder})
    endforeach()

    set(OSSEL_PC_NAME ${target})
    set(OSSEL_PC_SUMMARY ${OSSEL_${lib}_SUMMARY})
    set(OSSEL_PC_REQUIRES)
    if(NOT lib STREQUAL "foundation")
        set(OSSEL_PC_REQUIRES "ossel-foundation = ${PROJECT_VERSION}")
    endif()
    configure_file(${CMAKE_SOURCE_DIR}/cmake/ossel.pc.in ${CMAKE_BINARY_DIR}/pkgconfig/${target}.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${target}.pc DESTINATION ${OSSEL_INSTALL_PKGCONFIGDIR})
endforeach()

install(EXPORT OsselTargets NAMESPACE Ossel:: DESTINATION ${OSSEL_INSTALL_CMAKEDIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/OsselConfig.cmake.in
    ${CMAKE_BINARY_DIR}/OsselConfig.cmake INSTALL_DESTINATION ${OSSEL_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/OsselConfigVersion.cmake
    COMPATIBILITY ${OSSEL_PACKAGE_COMPATIBILITY})
install(FILES ${CMAKE_BINARY_DIR}/OsselConfig.cmake ${CMAKE_BINARY_DIR}/OsselConfigVersion.cmake
    DESTINATION ${OSSEL_INSTALL_CMAKEDIR})

# The importer bundle, laid out as in the build tree.
set_target_properties(OsselImporter PROPERTIES INSTALL_RPATH "$ORIGIN/${OSSEL_LIBDIR_FROM_BUNDLE}")
install(TARGETS OsselImporter LIBRARY DESTINATION ${OSSEL_INSTALL_BUNDLEDIR}/Contents/MacOS)
install(FILES ${CMAKE_SOURCE_DIR}/src/importer/Info.plist DESTINATION ${OSSEL_INSTALL_BUNDLEDIR}/Contents)
list(APPEND OSSEL_INSTALLED_TARGETS OsselImporter)

# Every program of tools/; the host finds the bundle relative to itself.
foreach(dir IN LISTS TOOL_DIRS)
    get_filename_component(name ${dir} NAME)
    if(TARGET ${name})
        set_target_properties(${name} PROPERTIES INSTALL_RPATH "$ORIGIN/${OSSEL_LIBDIR_FROM_BINDIR}")
        install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        list(APPEND OSSEL_INSTALLED_TARGETS ${name})
    endif()
endforeach()
target_compile_definitions(ossel-mdimport PRIVATE OSSEL_BUNDLE_DIR_FROM_BINDIR="${OSSEL_BUNDLEDIR_FROM_BINDIR}")

# Man pages: written in scdoc, one per program (man/PROGRAM.SECTION.scd).
file(GLOB OSSEL_MAN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/man/*.scd)
find_program(SCDOC scdoc)
if(NOT SCDOC)
    message(WARNING "scdoc not found: the man pages are neither built nor installed (scripts/setup.sh installs it)")
endif()
set(OSSEL_MAN_PAGES)
foreach(source IN LISTS OSSEL_MAN_SOURCES)
    get_filename_component(page ${source} NAME_WLE)     # ossel-mdimport.1
    get_filename_component(program ${page} NAME_WLE)    # ossel-mdimport
    string(REGEX REPLACE ".*\\." "" section ${page})
    if(NOT TARGET ${program})
        continue()
    endif()
    # Each page's options are checked against what the program's --help lists.
    add_test(NAME man.${program} COMMAND ${CMAKE_SOURCE_DIR}/tests/install/man-matches-help.sh
        ${source} $<TARGET_FILE:${program}>)
    if(SCDOC)
        set(out ${CMAKE_BINARY_DIR}/man/${page}.gz)
        add_custom_command(OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
            COMMAND sh -c "'${SCDOC}' < '${source}' | gzip -9n > '${out}'"
            DEPENDS ${source} VERBATIM)
        list(APPEND OSSEL_MAN_PAGES ${out})
        install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
    endif()
endforeach()
if(OSSEL_MAN_PAGES)
    add_custom_target(man-pages ALL DEPENDS ${OSSEL_MAN_PAGES})
    list(APPEND OSSEL_INSTALLED_TARGETS man-pages)
endif()

# A build for installing or packaging only (-DBUILD_TESTING=OFF) builds just
# what it installs: test, benchmark and test-only plug-in targets leave `all`.
option(BUILD_TESTING "Build the test and benchmark programs with `all`" ON)
if(NOT BUILD_TESTING)
    get_property(targets DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
        if(NOT target IN_LIST OSSEL_INSTALLED_TARGETS)
            set_property(TARGET ${target} PROPERTY EXCLUDE_FROM_ALL ON)
        endif()
    endforeach()
endif()

# The install tests need a build without sanitizers (a program built without them
# cannot load sanitized libraries, and a package must not depend on them):
# OSSEL_DIST_DIR names one, which `make check` builds. They check the tree it
# installs, programs built against that tree, and its Debian package.
set(OSSEL_DIST_DIR "" CACHE PATH "A build without sanitizers whose install and package the install tests check")
if(OSSEL_DIST_DIR)
    set(scripts ${CMAKE_SOURCE_DIR}/tests/install)
    set(scratch ${CMAKE_BINARY_DIR}/install-tests)
    # The tree test installs the tree that the consumers are built against.
    add_test(NAME install.tree COMMAND ${scripts}/installed-tree.sh ${OSSEL_DIST_DIR} ${scratch}/prefix ${scratch}/tree)
    add_test(NAME install.consumer-cmake COMMAND ${scripts}/consumer.sh cmake ${scratch}/prefix ${scratch}/cmake)
    add_test(NAME install.consumer-pkg-config
        COMMAND ${scripts}/consumer.sh pkg-config ${scratch}/prefix ${scratch}/pkg-config)
    add_test(NAME install.deb COMMAND ${scripts}/deb.sh ${OSSEL_DIST_DIR} ${scratch}/deb)
    set_tests_properties(install.tree PROPERTIES FIXTURES_SETUP ossel-prefix)
    set_tests_properties(install.consumer-cmake install.consumer-pkg-config
        PROPERTIES FIXTURES_REQUIRED ossel-prefix)
endif()

# The Debian package: everything above in one package, `ossel`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ossel)
set(CPACK_PACKAGE_VENDOR "Ossel developers")
set(CPACK_PACKAGE_CONTACT "Ossel developers <ossel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "metadata importer and search tools for Ossel video clip annotations")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "ossel-mdimport loads the Ossel importer plug-in to read clip annotation files"
    "with the people, place and event catalogs they refer to, and prints or indexes"
    "their attributes; ossel-mdfind and ossel-mdls search that index. The package"
    "also holds the model library (DV systems, SMPTE timecodes with drop-frame"
    "arithmetic, clip ids, catalog records) with its headers, CMake package and"
    "pkg-config files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# The shared libraries come from dpkg-shlibdeps; the time zone database is read as files.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS tzdata)
include(CPack)

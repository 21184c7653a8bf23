# The engine for other programs: libmsiengine1 holds the shared library;
# libmsiengine-dev the header, the link to build against, the pkg-config
# module and an example program. Included by CMakeLists.txt beside it.
set(MSI_LIB_COMPONENT libmsiengine1)
set(MSI_DEV_COMPONENT libmsiengine-dev)
# Debian's multiarch folder, where its loader and pkg-config look.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(MSI_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(MSI_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
# A folder of its own, so that the header cannot clash with another
# implementation of the same SDK header.
set(MSI_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/msiengine)

install(TARGETS msiengine_shared
        LIBRARY DESTINATION ${MSI_LIBDIR}
                PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
                COMPONENT ${MSI_LIB_COMPONENT}
                NAMELINK_COMPONENT ${MSI_DEV_COMPONENT})
install(FILES ${PROJECT_SOURCE_DIR}/engine/include/msiquery.h
        DESTINATION ${MSI_INCLUDEDIR}
        COMPONENT ${MSI_DEV_COMPONENT})
install(FILES examples/msi-tables.c
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${MSI_DEV_COMPONENT}/examples
        COMPONENT ${MSI_DEV_COMPONENT})
# The module names the prefix the files are installed under, known only at
# install time (CPack installs under /usr).
set(msi_pc_file ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/msiengine.pc)
install(CODE "
  set(MSI_LIBDIR \"${MSI_LIBDIR}\")
  set(MSI_INCLUDEDIR \"${MSI_INCLUDEDIR}\")
  set(MSI_VERSION \"${PROJECT_VERSION}\")
  set(MSI_SITE \"${PELLACOR_SITE}\")
  configure_file(\"${CMAKE_CURRENT_SOURCE_DIR}/library/msiengine.pc.in\"
                 \"${msi_pc_file}\" @ONLY)
  file(INSTALL \"${msi_pc_file}\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${MSI_LIBDIR}/pkgconfig\"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)"
        COMPONENT ${MSI_DEV_COMPONENT})

foreach(component ${MSI_LIB_COMPONENT} ${MSI_DEV_COMPONENT})
  install(FILES copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${component}
          COMPONENT ${component})
endforeach()

# Their Debian packages; the shared settings are in CMakeLists.txt.
string(TOUPPER ${MSI_LIB_COMPONENT} msi_lib_upper)
string(TOUPPER ${MSI_DEV_COMPONENT} msi_dev_upper)
set(CPACK_DEBIAN_${msi_lib_upper}_PACKAGE_NAME ${MSI_LIB_COMPONENT})
set(CPACK_DEBIAN_${msi_lib_upper}_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_${msi_lib_upper}_PACKAGE_SOURCE ${MSI_DEB_NAME})
# Its dependencies come from dpkg-shlibdeps; shlibs and the loader's
# trigger are what Debian asks of a shared library package.
set(CPACK_DEBIAN_${msi_lib_upper}_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/library/triggers)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# Programs built against this version run with any later 1.x.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_${msi_lib_upper}_DESCRIPTION
  "Windows Installer package database engine (shared library)"
  "A portable implementation of the Windows Installer database functions"
  "of the installer SDK (MsiOpenDatabase, MsiDatabaseOpenView, MsiViewFetch,"
  "MsiRecordGetString, ...) with the installer's result codes: it reads and"
  "writes .msi, .msm and .wsi files, runs the installer's SQL dialect and"
  "imports and exports tables as archive files (.idt)."
  "."
  "This package holds the shared library.")
list(JOIN CPACK_DEBIAN_${msi_lib_upper}_DESCRIPTION "\n"
     CPACK_DEBIAN_${msi_lib_upper}_DESCRIPTION)

set(CPACK_DEBIAN_${msi_dev_upper}_PACKAGE_NAME ${MSI_DEV_COMPONENT})
set(CPACK_DEBIAN_${msi_dev_upper}_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_${msi_dev_upper}_PACKAGE_SOURCE ${MSI_DEB_NAME})
set(CPACK_DEBIAN_${msi_dev_upper}_PACKAGE_DEPENDS
    "${MSI_LIB_COMPONENT} (= ${CMAKE_PROJECT_VERSION}-${MSI_DEB_RELEASE})")
set(CPACK_DEBIAN_${msi_dev_upper}_PACKAGE_RECOMMENDS "pkg-config")
set(CPACK_DEBIAN_${msi_dev_upper}_DESCRIPTION
  "Windows Installer package database engine (development files)"
  "A portable implementation of the Windows Installer database functions"
  "of the installer SDK (MsiOpenDatabase, MsiDatabaseOpenView, MsiViewFetch,"
  "MsiRecordGetString, ...) with the installer's result codes."
  "."
  "This package holds the header msiquery.h, the link to build against and"
  "the pkg-config module msiengine (pkg-config --cflags --libs msiengine),"
  "with an example program.")
list(JOIN CPACK_DEBIAN_${msi_dev_upper}_DESCRIPTION "\n"
     CPACK_DEBIAN_${msi_dev_upper}_DESCRIPTION)

# What `cmake --install` puts in place: the library, qorb32n.h alone, a CMake
# package (find_package(qorb32n) gives the imported target qorb32n::qorb32n)
# and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QORB_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qorb32n)

install(TARGETS qorb32n EXPORT qorb32nTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/qorb32n.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT qorb32nTargets NAMESPACE qorb32n:: DESTINATION ${QORB_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qorb32nConfig.cmake.in
  ${PROJECT_BINARY_DIR}/qorb32nConfig.cmake INSTALL_DESTINATION ${QORB_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qorb32nConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qorb32nConfig.cmake
  ${PROJECT_BINARY_DIR}/qorb32nConfigVersion.cmake DESTINATION ${QORB_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/qorb32n.pc.in ${PROJECT_BINARY_DIR}/qorb32n.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qorb32n.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

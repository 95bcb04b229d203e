# `cmake --install` puts the `vellumine` program, the libraries, their public headers and a CMake
# package under the prefix, so that another project can embed the presentation layer:
#
#   find_package(Vellumine REQUIRED)
#   target_link_libraries(app PRIVATE Vellumine::zell_output Vellumine::styled_markdown)
#
# Headers go to <prefix>/include/vellumine and are included as in this tree
# ("zell/output/output_manager.h"). Headers that are internal to Markdown and Syntax (the
# markdown_* and syntax_* files, which need the parsers' own headers) are not installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELLUMINE_INSTALLED_LIBRARIES
  unicode styled styled_syntax styled_markdown termui zell_host_interfaces zell_output zell_bridge
  zell_scrollback zell_preflight)
set(VELLUMINE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vellumine)

install(TARGETS vellumine ${VELLUMINE_INSTALLED_LIBRARIES}
  EXPORT VellumineTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vellumine)
# The code highlighter's module, loaded at run time from the library folder.
if(TARGET vellumine_syntax)
  install(TARGETS vellumine_syntax LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
endif()
install(DIRECTORY ${VELLUMINE_SRC}/
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vellumine
  FILES_MATCHING PATTERN "*.h"
  PATTERN "syntax_*.h" EXCLUDE
  PATTERN "markdown_*.h" EXCLUDE
  PATTERN "lang" EXCLUDE)
install(EXPORT VellumineTargets NAMESPACE Vellumine:: DESTINATION ${VELLUMINE_PACKAGE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/VellumineConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VellumineConfig.cmake INSTALL_DESTINATION ${VELLUMINE_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VellumineConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VellumineConfig.cmake
  ${CMAKE_BINARY_DIR}/VellumineConfigVersion.cmake DESTINATION ${VELLUMINE_PACKAGE_DIR})

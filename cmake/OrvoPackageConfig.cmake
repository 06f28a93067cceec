# orvo_install_cmake_package(<target> NAME <package> EXPORT_NAME <name>
#                            [DEPENDENCIES <package> ...])
# Installs the CMake package of one Orvo library, so that another program finds
# it with find_package(<package>) and links Orvo::<name>: the targets file, a
# config file that finds the packages it depends on (Qt 6 Widgets and the
# listed Orvo packages) and a version file (same major version).
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

function(orvo_install_cmake_package target)
  cmake_parse_arguments(ARG "" "NAME;EXPORT_NAME" "DEPENDENCIES" ${ARGN})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${ARG_EXPORT_NAME})
  set(dir ${CMAKE_INSTALL_LIBDIR}/cmake/${ARG_NAME})
  install(EXPORT ${ARG_NAME}Targets
    NAMESPACE Orvo::
    DESTINATION ${dir}
    COMPONENT development)
  set(ORVO_PACKAGE_NAME ${ARG_NAME})
  set(ORVO_PACKAGE_EXPORT_NAME ${ARG_EXPORT_NAME})
  set(ORVO_PACKAGE_DEPENDENCIES "")
  foreach(dep IN LISTS ARG_DEPENDENCIES)
    string(APPEND ORVO_PACKAGE_DEPENDENCIES "find_dependency(${dep} ${PROJECT_VERSION})\n")
  endforeach()
  set(work ${CMAKE_BINARY_DIR}/cmake-packages/${ARG_NAME})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/OrvoConfig.cmake.in
    ${work}/${ARG_NAME}Config.cmake
    INSTALL_DESTINATION ${dir})
  write_basic_package_version_file(${work}/${ARG_NAME}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES ${work}/${ARG_NAME}Config.cmake ${work}/${ARG_NAME}ConfigVersion.cmake
    DESTINATION ${dir}
    COMPONENT development)
endfunction()

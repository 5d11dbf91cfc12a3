# What `cmake --install` puts where: the component library and the stand-in libraries together
# in one library folder (the host loads its siblings from its own folder), velsh in the bin
# folder, the public headers (the library's interfaces and the stand-ins' public interfaces)
# under one include folder, the base services' definition data and the suite's scripts in the
# data folder, and a CMake package whose imported target HvdDesignData::Host is the host library
# with those headers.
include(CMakePackageConfigHelpers)

set(HVD_INSTALLED_LIBRARIES Hostkit Prjrep Hvd_TOE Hvd_Cvf Hvd_Base Hvd_Hdl Hvd_DesignData)
# Built with the RUNPATH they are installed with, found from their own folder: a RUNPATH made
# to be rewritten at install is padded with an empty entry, which is the working directory.
set_target_properties(${HVD_INSTALLED_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN" BUILD_WITH_INSTALL_RPATH ON)
set_target_properties(velsh PROPERTIES INSTALL_RPATH "$ORIGIN/${HVD_LIBRARY_FROM_PROGRAM}" BUILD_WITH_INSTALL_RPATH ON
                                       RUNTIME_OUTPUT_DIRECTORY ${HVD_BUILD_PROGRAM_DIR})
install(TARGETS ${HVD_INSTALLED_LIBRARIES} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(TARGETS velsh RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(HVD_INCLUDE_DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/HvdDesignData)
foreach(headers include platform/hostkit/include platform/prjrep/include platform/toe/include platform/cvf/include
                platform/base/include platform/hdl/include platform/ipc/include)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/${headers}/ DESTINATION ${HVD_INCLUDE_DESTINATION}
          FILES_MATCHING PATTERN "*.h")
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/platform/base/data/definitions.xml DESTINATION ${HVD_DATA_DESTINATION})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/toe/data/ DESTINATION ${HVD_DATA_DESTINATION})

set(HVD_PACKAGE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/HvdDesignData)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/HvdDesignDataConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/HvdDesignDataConfig.cmake
                              INSTALL_DESTINATION ${HVD_PACKAGE_DESTINATION}
                              PATH_VARS CMAKE_INSTALL_LIBDIR HVD_INCLUDE_DESTINATION)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/HvdDesignDataConfigVersion.cmake VERSION 0.1.0
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/HvdDesignDataConfig.cmake ${PROJECT_BINARY_DIR}/HvdDesignDataConfigVersion.cmake
        DESTINATION ${HVD_PACKAGE_DESTINATION})

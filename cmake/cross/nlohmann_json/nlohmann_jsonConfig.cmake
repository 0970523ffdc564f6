include(${CMAKE_CURRENT_LIST_DIR}/../HeaderOnly.cmake)
veltrix_host_header_library(nlohmann_json::nlohmann_json /usr/include/nlohmann)

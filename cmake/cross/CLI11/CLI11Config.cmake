include(${CMAKE_CURRENT_LIST_DIR}/../HeaderOnly.cmake)
veltrix_host_header_library(CLI11::CLI11 /usr/include/CLI)

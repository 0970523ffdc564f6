# The version rules of the build machine's package (they do not depend on the
# architecture: the library is headers only).
include(/usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)

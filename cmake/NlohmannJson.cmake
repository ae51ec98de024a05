# SPDX-License-Identifier: GPL-3.0-or-later
# nlohmann-json, header-only. A cross-build looks for it in the target's tree
# first; Debian packages it only for the build machine, so failing that the
# build machine's copy is used. Its folder /usr/include must never reach the
# target's include path: glibc's headers there would be found in place of the
# target's own. The imported target's include folder therefore holds nothing
# but a link to /usr/include/nlohmann.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 REQUIRED)
  return()
endif()
find_package(nlohmann_json 3 QUIET)
if(nlohmann_json_FOUND)
  return()
endif()
find_path(TEVRA_BUILD_MACHINE_JSON nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT TEVRA_BUILD_MACHINE_JSON)
  message(FATAL_ERROR "nlohmann-json not found for the target nor on the build machine (nlohmann-json3-dev)")
endif()
set(TEVRA_JSON_FOLDER ${PROJECT_BINARY_DIR}/build-machine-json)
file(MAKE_DIRECTORY ${TEVRA_JSON_FOLDER})
file(CREATE_LINK ${TEVRA_BUILD_MACHINE_JSON}/nlohmann ${TEVRA_JSON_FOLDER}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${TEVRA_JSON_FOLDER})
message(STATUS "nlohmann-json: the build machine's headers, through ${TEVRA_JSON_FOLDER}")

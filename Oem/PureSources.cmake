# Plain C++ text logic with no platform header: part of Oem.dll and also built natively. The
# ASCII helpers below both users, the exports' reply, version and flash rules, and the AT
# parser's text operations (the parser tool beside them is not plain text logic).
file(GLOB OEM_PURE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_CURRENT_LIST_DIR}/text/*.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exports/rules/*.cpp)
list(APPEND OEM_PURE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/tools/parser/AtText.cpp)

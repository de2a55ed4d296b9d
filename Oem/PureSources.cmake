# Plain C++ text logic with no platform header: part of Oem.dll and also built natively.
set(OEM_PURE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/exports/AsciiText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tools/parser/AtText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exports/CarrierIdReply.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exports/VersionRules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exports/FlashVersionText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/exports/CarrierSwitchReply.cpp
)

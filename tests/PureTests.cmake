# Tests of the plain text logic; they build for Windows (under Wine) and natively.
set(OEM_PURE_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/exports/ExportRulesTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/ModemProfileTest.cpp ${CMAKE_SOURCE_DIR}/sim/ModemProfile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim/CarrierModelTest.cpp ${CMAKE_SOURCE_DIR}/sim/CarrierState.cpp
  ${CMAKE_SOURCE_DIR}/sim/CarrierModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/parser/AtTextTest.cpp
)

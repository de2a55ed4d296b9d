# Tests of the plain text logic; they build for Windows (under Wine) and natively.
set(OEM_PURE_TESTS
  ${CMAKE_CURRENT_LIST_DIR}/exports/CarrierIdReplyTest.cpp
)

#pragma once

#include "tools/IGlobalTools.h"

// The AT reply text operations behind the tool interface. Holds nothing: one object may serve
// several threads at once.
class CKestoParser : public IGlobalTools::IAtParser {
public:
    void ExtractPayload(const void* buffer, std::uint32_t length, std::string* out) override;
    std::string KeepChars(std::string text, std::string charset) override;
    std::string RemoveChars(std::string text, std::string charset) override;
    std::string HexToDec(std::string hexText) override;
    void Split(std::string text, std::string separator, std::vector<std::string>* parts) override;
    std::string GetBetween(std::string text, std::string head, std::string tail) override;
    void Release() override;
};

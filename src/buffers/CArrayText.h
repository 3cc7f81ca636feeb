#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes as a C array definition, sixteen to a line:
//   const unsigned char data[3] = {
//       0x01, 0x02, 0x03
//   };
std::string CArrayText(const uint8_t* bytes, size_t count, const std::string& name = "data");

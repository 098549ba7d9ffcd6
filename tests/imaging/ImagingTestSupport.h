#pragma once

#include "imaging/Dib.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvik::test {

// Opens the diagnostics log in the test's home; LogText reads it back.
void OpenTestLog();
std::string LogText();
bool LogHas(const std::string& line);

// Images from pixel values given top row first.
RefPtr<Dib> MakeGrey8(const std::vector<std::vector<int>>& rows);   // grey ramp table
RefPtr<Dib> Make24(const std::vector<std::vector<uint32_t>>& rows); // colour refs
// Pixel values of a whole image, top row first (GetPixel values).
std::vector<std::vector<uint32_t>> PixelsOf(const Dib& dib);
// An 8-bit image's pixels as ints, top row first.
std::vector<std::vector<int>> Bytes8(const Dib& dib);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Runs a shell command; returns its standard output and sets `status`.
std::vector<uint8_t> RunCommand(const std::string& command, int* status);
// ImageMagick's convert program, or empty when it is not installed.
std::string ImageMagickConvert();

// Little-endian helpers for building files by hand.
void PutU16(std::vector<uint8_t>& v, uint16_t x);
void PutU32(std::vector<uint8_t>& v, uint32_t x);
uint32_t GetU32(const std::vector<uint8_t>& v, size_t at);
uint16_t GetU16(const std::vector<uint8_t>& v, size_t at);

} // namespace orvik::test

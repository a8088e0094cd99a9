#pragma once

// The program's name and its maker's web address, as every part of the program shows them.
inline constexpr const char* kApplicationTitle = "Sonvale";
inline constexpr const char* kMakerWebAddress = "https://www.sonvale.example/";
inline constexpr const char* kMakerWebDomain = "www.sonvale.example";

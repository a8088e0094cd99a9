#pragma once

// The maker's web address, as every part of the program shows it.
inline constexpr const char* kMakerWebAddress = "https://www.sonvale.example/";
inline constexpr const char* kMakerWebDomain = "www.sonvale.example";

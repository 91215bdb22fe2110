#pragma once
// Texture ID masks. A mask is eight characters, one per hex digit of an ID
// printed as "%08x" (position 0 leftmost): "?" stands for the old texture ID's
// digit, "#" for the digit of the entry's instance number at that position,
// any other character for itself. Letters count without their case.

#include <cstdint>
#include <string>

// True when textureId matches the find mask. "????????" matches every ID; a
// mask of any length other than eight matches none.
bool MatchIdPattern(const std::wstring& strMask, std::uint32_t nInstance, std::uint32_t nTextureId);

// The ID the replace mask builds from the old texture ID and the instance:
// the eight characters are read as one hexadecimal number by the C library's
// "%x" scan (leading blanks, a sign and "0x" accepted; reading stops at the
// first character that is not a hex digit; 0 when there is none). A mask of
// any length other than eight builds nothing: the old ID comes back.
std::uint32_t BuildIdFromPattern(const std::wstring& strMask, std::uint32_t nInstance, std::uint32_t nTextureId);

// Texts a sound module hands the program: UTF-8 to UTF-16, bounded copies, its own file name.
#pragma once

#include <string>

// UTF-8 to UTF-16. A byte that does not begin a well-formed sequence (a stray continuation
// byte, a truncated or overlong sequence, a surrogate, a code point beyond U+10FFFF) becomes
// one U+FFFD, and decoding goes on with the next byte.
std::u16string soundUtf16(const std::string& utf8);

// Writes s into dst as a NUL-terminated text of at most maxLen characters (terminator
// included); nothing when dst is null or maxLen < 1.
void soundWriteText(char16_t* dst, int maxLen, const std::u16string& s);

// The file this code was loaded from (the module's shared object), as the dynamic loader
// knows it; empty when it does not.
std::u16string soundModuleFile();

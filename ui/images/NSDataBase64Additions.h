// NSData(NSDataBase64Additions): Base64 text with optional line breaks, and a lenient reading of
// Base64 text that skips what is not of the alphabet. Stateless; any thread.
//
//   auto text = base64EncodingWithLineLength(data, 76);   // "\n" after every full line
//   auto back = dataWithBase64EncodedString(text);         // blanks and breaks are skipped
//
// Reading takes the alphabet's characters in order and skips every other character except "=",
// which ends the text: with two or three characters of a last group collected it gives one or two
// more bytes. A group left incomplete without "=" is dropped, as is a single character before
// "=" (it cannot stand for a byte). Text that is not ASCII, and nil, give empty data.
#pragma once

#include "platform/base/NSData.h"

#include <cstdint>

// initWithBase64EncodedString: on a data object from alloc<NSData>(); nil stays nil.
Ref<NSData> initWithBase64EncodedString(const Ref<NSData>& data, const Ref<NSString>& string);
// The text without line breaks.
Ref<NSString> base64Encoding(const Ref<NSData>& data);
// Lines as long as the line length rounded up to a whole group of four characters, each ended by
// "\n" (the last only when it is full); 0 means no breaks. nil data gives nil.
Ref<NSString> base64EncodingWithLineLength(const Ref<NSData>& data, std::uint32_t lineLength);
// +dataWithBase64EncodedString:
Ref<NSData> dataWithBase64EncodedString(const Ref<NSString>& string);

// MD5 message digests (RFC 1321) of memory and of files.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct MD5_CTX {
  std::uint32_t count[2];  // number of message bits, low word first (modulo 2^64)
  std::uint32_t state[4];  // the four chaining words
  unsigned char buffer[64];  // bytes of the current, not yet complete block
  unsigned char digest[16];  // the result, written by MD5Final
};

// Starts a new message.
void MD5Init(MD5_CTX* context);
// Adds length bytes (at most 65535) to the message.
void MD5Update(MD5_CTX* context, const unsigned char* data, unsigned short length);
// Adds length bytes, any number; 0 or less does nothing. Whole blocks are
// compressed straight from data.
void MD5UpdateWide(MD5_CTX* context, const unsigned char* data, std::int64_t length);
// Pads the message, appends its length and writes the digest into the context.
void MD5Final(MD5_CTX* context);
// The finished digest of the context as 32 lower-case hexadecimal digits.
std::string MD5Text(const MD5_CTX& context);
// Compresses one 64-byte block (16 little-endian words) into state.
void Transform(std::uint32_t state[4], const unsigned char block[64]);

// The signature of a whole file as 32 lower-case hexadecimal digits. Returns 0,
// or 20006 when the file cannot be read (missing, not a regular file,
// unreadable, or changed size while it was read); the signature is then left
// unchanged. When the path as written does not lead to a file, its letter
// case is repaired on a case-sensitive file system; with repaired not null,
// a path that the repair changed is stored there (also when no file was
// found at its end). Safe to call on several threads at once. With stop,
// the reading gives up with ECANCELED as soon as *stop is true (looked at
// before each piece of the file), so that a large file holds up no one
// who ends the work.
int calc_file_md5(const std::string& path, std::string& signature, std::string* repaired = nullptr,
                  const std::atomic<bool>* stop = nullptr);

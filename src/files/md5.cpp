#include "files/md5.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "files/find_path.h"
#include "files/io_utils.h"
#include "runtime/globals.h"

namespace {

// Reads the little-endian 32-bit word at p. memcpy keeps the load legal at any
// alignment and compiles to a single move on little-endian machines.
inline std::uint32_t load_le32(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
#else
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
#endif
}

inline void store_le32(unsigned char* p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

inline std::uint32_t rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

// The four round functions, in forms that need the fewest operations:
// F picks y or z by x; G picks x or y by z, and because the two terms never
// share a bit it is written as a sum, which lets the additions be reordered;
// H is parity; I is y ^ (x | ~z).
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))

// One step: a = b + ((a + f(b, c, d) + word k + t) <<< s).
#define MD5_STEP_F(a, b, c, d, k, s, t)               \
  a += MD5_F(b, c, d) + load_le32(data + 4 * (k)) + (t); \
  a = rotl(a, s) + (b);
#define MD5_STEP_G(a, b, c, d, k, s, t)                   \
  a += load_le32(data + 4 * (k)) + (t) + (~(d) & (c)); \
  a += (d) & (b);                                       \
  a = rotl(a, s) + (b);
#define MD5_STEP_H(a, b, c, d, k, s, t)               \
  a += MD5_H(b, c, d) + load_le32(data + 4 * (k)) + (t); \
  a = rotl(a, s) + (b);
#define MD5_STEP_I(a, b, c, d, k, s, t)               \
  a += MD5_I(b, c, d) + load_le32(data + 4 * (k)) + (t); \
  a = rotl(a, s) + (b);

// Compresses count consecutive 64-byte blocks into state, keeping the four
// chaining words in registers from one block to the next.
void transform_blocks(std::uint32_t state[4], const unsigned char* data, std::size_t count) {
  std::uint32_t a0 = state[0], b0 = state[1], c0 = state[2], d0 = state[3];
  for (; count > 0; --count, data += 64) {
    std::uint32_t a = a0, b = b0, c = c0, d = d0;

    MD5_STEP_F(a, b, c, d, 0, 7, 0xd76aa478u)
    MD5_STEP_F(d, a, b, c, 1, 12, 0xe8c7b756u)
    MD5_STEP_F(c, d, a, b, 2, 17, 0x242070dbu)
    MD5_STEP_F(b, c, d, a, 3, 22, 0xc1bdceeeu)
    MD5_STEP_F(a, b, c, d, 4, 7, 0xf57c0fafu)
    MD5_STEP_F(d, a, b, c, 5, 12, 0x4787c62au)
    MD5_STEP_F(c, d, a, b, 6, 17, 0xa8304613u)
    MD5_STEP_F(b, c, d, a, 7, 22, 0xfd469501u)
    MD5_STEP_F(a, b, c, d, 8, 7, 0x698098d8u)
    MD5_STEP_F(d, a, b, c, 9, 12, 0x8b44f7afu)
    MD5_STEP_F(c, d, a, b, 10, 17, 0xffff5bb1u)
    MD5_STEP_F(b, c, d, a, 11, 22, 0x895cd7beu)
    MD5_STEP_F(a, b, c, d, 12, 7, 0x6b901122u)
    MD5_STEP_F(d, a, b, c, 13, 12, 0xfd987193u)
    MD5_STEP_F(c, d, a, b, 14, 17, 0xa679438eu)
    MD5_STEP_F(b, c, d, a, 15, 22, 0x49b40821u)

    MD5_STEP_G(a, b, c, d, 1, 5, 0xf61e2562u)
    MD5_STEP_G(d, a, b, c, 6, 9, 0xc040b340u)
    MD5_STEP_G(c, d, a, b, 11, 14, 0x265e5a51u)
    MD5_STEP_G(b, c, d, a, 0, 20, 0xe9b6c7aau)
    MD5_STEP_G(a, b, c, d, 5, 5, 0xd62f105du)
    MD5_STEP_G(d, a, b, c, 10, 9, 0x02441453u)
    MD5_STEP_G(c, d, a, b, 15, 14, 0xd8a1e681u)
    MD5_STEP_G(b, c, d, a, 4, 20, 0xe7d3fbc8u)
    MD5_STEP_G(a, b, c, d, 9, 5, 0x21e1cde6u)
    MD5_STEP_G(d, a, b, c, 14, 9, 0xc33707d6u)
    MD5_STEP_G(c, d, a, b, 3, 14, 0xf4d50d87u)
    MD5_STEP_G(b, c, d, a, 8, 20, 0x455a14edu)
    MD5_STEP_G(a, b, c, d, 13, 5, 0xa9e3e905u)
    MD5_STEP_G(d, a, b, c, 2, 9, 0xfcefa3f8u)
    MD5_STEP_G(c, d, a, b, 7, 14, 0x676f02d9u)
    MD5_STEP_G(b, c, d, a, 12, 20, 0x8d2a4c8au)

    MD5_STEP_H(a, b, c, d, 5, 4, 0xfffa3942u)
    MD5_STEP_H(d, a, b, c, 8, 11, 0x8771f681u)
    MD5_STEP_H(c, d, a, b, 11, 16, 0x6d9d6122u)
    MD5_STEP_H(b, c, d, a, 14, 23, 0xfde5380cu)
    MD5_STEP_H(a, b, c, d, 1, 4, 0xa4beea44u)
    MD5_STEP_H(d, a, b, c, 4, 11, 0x4bdecfa9u)
    MD5_STEP_H(c, d, a, b, 7, 16, 0xf6bb4b60u)
    MD5_STEP_H(b, c, d, a, 10, 23, 0xbebfbc70u)
    MD5_STEP_H(a, b, c, d, 13, 4, 0x289b7ec6u)
    MD5_STEP_H(d, a, b, c, 0, 11, 0xeaa127fau)
    MD5_STEP_H(c, d, a, b, 3, 16, 0xd4ef3085u)
    MD5_STEP_H(b, c, d, a, 6, 23, 0x04881d05u)
    MD5_STEP_H(a, b, c, d, 9, 4, 0xd9d4d039u)
    MD5_STEP_H(d, a, b, c, 12, 11, 0xe6db99e5u)
    MD5_STEP_H(c, d, a, b, 15, 16, 0x1fa27cf8u)
    MD5_STEP_H(b, c, d, a, 2, 23, 0xc4ac5665u)

    MD5_STEP_I(a, b, c, d, 0, 6, 0xf4292244u)
    MD5_STEP_I(d, a, b, c, 7, 10, 0x432aff97u)
    MD5_STEP_I(c, d, a, b, 14, 15, 0xab9423a7u)
    MD5_STEP_I(b, c, d, a, 5, 21, 0xfc93a039u)
    MD5_STEP_I(a, b, c, d, 12, 6, 0x655b59c3u)
    MD5_STEP_I(d, a, b, c, 3, 10, 0x8f0ccc92u)
    MD5_STEP_I(c, d, a, b, 10, 15, 0xffeff47du)
    MD5_STEP_I(b, c, d, a, 1, 21, 0x85845dd1u)
    MD5_STEP_I(a, b, c, d, 8, 6, 0x6fa87e4fu)
    MD5_STEP_I(d, a, b, c, 15, 10, 0xfe2ce6e0u)
    MD5_STEP_I(c, d, a, b, 6, 15, 0xa3014314u)
    MD5_STEP_I(b, c, d, a, 13, 21, 0x4e0811a1u)
    MD5_STEP_I(a, b, c, d, 4, 6, 0xf7537e82u)
    MD5_STEP_I(d, a, b, c, 11, 10, 0xbd3af235u)
    MD5_STEP_I(c, d, a, b, 2, 15, 0x2ad7d2bbu)
    MD5_STEP_I(b, c, d, a, 9, 21, 0xeb86d391u)

    a0 += a;
    b0 += b;
    c0 += c;
    d0 += d;
  }
  state[0] = a0;
  state[1] = b0;
  state[2] = c0;
  state[3] = d0;
}

#undef MD5_F
#undef MD5_H
#undef MD5_I
#undef MD5_STEP_F
#undef MD5_STEP_G
#undef MD5_STEP_H
#undef MD5_STEP_I

// Adds len bytes to the message: tops up a partly filled block first, then
// compresses whole blocks straight from the caller's data, and keeps the
// remainder in the context's block buffer.
void md5_add(MD5_CTX* context, const unsigned char* data, std::uint64_t len) {
  if (len == 0) return;
  const std::uint64_t bits_before =
      static_cast<std::uint64_t>(context->count[1]) << 32 | context->count[0];
  const std::size_t used = static_cast<std::size_t>((bits_before >> 3) & 63);
  // The bit count is kept modulo 2^64, as the message length is in the
  // padding.
  const std::uint64_t bits_after = bits_before + (len << 3);
  context->count[0] = static_cast<std::uint32_t>(bits_after);
  context->count[1] = static_cast<std::uint32_t>(bits_after >> 32);

  if (used != 0) {
    const std::size_t room = 64 - used;
    if (len < room) {
      std::memcpy(context->buffer + used, data, static_cast<std::size_t>(len));
      return;
    }
    std::memcpy(context->buffer + used, data, room);
    transform_blocks(context->state, context->buffer, 1);
    data += room;
    len -= room;
  }
  const std::uint64_t blocks = len / 64;
  if (blocks != 0) {
    transform_blocks(context->state, data, static_cast<std::size_t>(blocks));
    data += blocks * 64;
    len -= blocks * 64;
  }
  if (len != 0) std::memcpy(context->buffer, data, static_cast<std::size_t>(len));
}

constexpr std::size_t read_chunk = 1 << 20;

}  // namespace

void Transform(std::uint32_t state[4], const unsigned char block[64]) {
  transform_blocks(state, block, 1);
}

void MD5Init(MD5_CTX* context) {
  context->count[0] = 0;
  context->count[1] = 0;
  context->state[0] = 0x67452301u;
  context->state[1] = 0xefcdab89u;
  context->state[2] = 0x98badcfeu;
  context->state[3] = 0x10325476u;
  std::memset(context->buffer, 0, sizeof context->buffer);
  std::memset(context->digest, 0, sizeof context->digest);
}

void MD5Update(MD5_CTX* context, const unsigned char* data, unsigned short length) {
  md5_add(context, data, length);
}

void MD5UpdateWide(MD5_CTX* context, const unsigned char* data, std::int64_t length) {
  if (length <= 0) return;
  md5_add(context, data, static_cast<std::uint64_t>(length));
}

void MD5Final(MD5_CTX* context) {
  // The length in bits, taken before the padding changes the count.
  unsigned char bits[8];
  store_le32(bits, context->count[0]);
  store_le32(bits + 4, context->count[1]);

  // A 0x80 byte, then zeros up to 56 bytes into a block, then the length.
  static const unsigned char padding[64] = {0x80};
  const std::size_t used = (context->count[0] >> 3) & 63;
  const std::size_t pad = used < 56 ? 56 - used : 120 - used;
  md5_add(context, padding, pad);
  md5_add(context, bits, 8);

  for (int i = 0; i < 4; ++i) store_le32(context->digest + 4 * i, context->state[i]);
  // Nothing of the message stays behind in the context.
  std::memset(context->buffer, 0, sizeof context->buffer);
}

int calc_file_md5(const std::string& path, std::string& signature, std::string* repaired,
                  const std::atomic<bool>* stop) {
  std::string full = app_path + path;

  // O_NONBLOCK only matters for the open of a FIFO, which would otherwise
  // wait for a writer; such a file is refused below anyway. The path as
  // written is tried first: the letter case is repaired only when that
  // fails, as the repair leaves a path that exists alone anyway, and the
  // scan opens a hundred thousand files that way.
  auto open_path = [&full] {
    int d;
    do {
      d = open(full.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (d < 0 && errno == EINTR);
    return d;
  };
  int fd = open_path();
  if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
    const std::string written = full;
    repair_case(full);
    if (full != written) {
      if (repaired) *repaired = full.substr(app_path.size());
      fd = open_path();
    }
  }
  if (fd < 0) return err_file_open;

  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return err_file_open;
  }
  // Large files are read front to back: let the kernel read ahead further.
  if (st.st_size > static_cast<off_t>(read_chunk)) posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  // One read buffer per thread: the scan hashes files on several worker
  // threads at once, and most files are small, so allocating a large buffer
  // for every file would cost more than hashing it. The buffer is page
  // aligned: the kernel copies file data into such a buffer several times
  // faster than into one that starts part way into a page.
  struct free_deleter {
    void operator()(unsigned char* p) const { std::free(p); }
  };
  thread_local std::unique_ptr<unsigned char, free_deleter> buffer;
  if (!buffer) {
    buffer.reset(static_cast<unsigned char*>(std::aligned_alloc(4096, read_chunk)));
    if (!buffer) {
      close(fd);
      return err_file_open;
    }
  }

  MD5_CTX context;
  MD5Init(&context);
  // Read until the file ends, wherever that is now. A file that another
  // program shortens or lengthens while it is hashed gives no signature: what
  // was read is neither the old file nor the new one.
  std::int64_t total = 0;
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) {
      close(fd);
      return ECANCELED;
    }
    const ssize_t n = read(fd, buffer.get(), read_chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return err_file_open;
    }
    if (n == 0) break;
    MD5UpdateWide(&context, buffer.get(), n);
    total += n;
  }
  close(fd);
  if (total != static_cast<std::int64_t>(st.st_size)) return err_file_open;
  MD5Final(&context);
  signature = MD5Text(context);
  return 0;
}

std::string MD5Text(const MD5_CTX& context) {
  static const char hex[] = "0123456789abcdef";
  std::string text(32, '0');
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = hex[context.digest[i] >> 4];
    text[2 * i + 1] = hex[context.digest[i] & 15];
  }
  return text;
}

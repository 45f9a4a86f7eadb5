#include "common/sha1hex.h"

#include <boost/uuid/detail/sha1.hpp>

std::string sha1hex(std::string_view text) {
  boost::uuids::detail::sha1 hash;
  hash.process_bytes(text.data(), text.size());
  boost::uuids::detail::sha1::digest_type digest;
  hash.get_digest(digest);

  // Each digest word is written low byte first: that is the reversal inside
  // every 4-byte group, independent of the host's byte order.
  static constexpr char hexdigits[] = "0123456789abcdef";
  std::string name;
  name.reserve(40);
  for (unsigned int word : digest) {
    for (int shift = 0; shift < 32; shift += 8) {
      const unsigned int byte = (word >> shift) & 0xffu;
      name += hexdigits[byte >> 4];
      name += hexdigits[byte & 0xfu];
    }
  }
  return name;
}

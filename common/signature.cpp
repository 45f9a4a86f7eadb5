#include "common/signature.h"

#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <memory>

#include "common/lazylib.h"

namespace {

constexpr std::size_t keysize = 32;

// The key's 32 bytes; empty when the text is no strict base64 of 32 bytes.
QByteArray keybytes(std::string_view text) {
  const auto decoded = QByteArray::fromBase64Encoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
                                                      QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded || decoded.decoded.size() != static_cast<qsizetype>(keysize)) return {};
  return decoded.decoded;
}

// A read-only mapping of a whole file, unmapped at the end.
class mappedfile {
 public:
  explicit mappedfile(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    size = static_cast<std::size_t>(st.st_size);
    ok = true;
    if (size == 0) return;
    void *p = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      ok = false;
      return;
    }
    data = static_cast<const unsigned char *>(p);
  }
  ~mappedfile() {
    if (data) ::munmap(const_cast<unsigned char *>(data), size);
  }
  mappedfile(const mappedfile &) = delete;
  mappedfile &operator=(const mappedfile &) = delete;

  bool ok = false;
  const unsigned char *data = nullptr;
  std::size_t size = 0;
};

// The crypto library's functions the check uses, loaded at the first check.
struct cryptofunctions {
  decltype(&EVP_PKEY_new_raw_public_key) newkey = nullptr;
  decltype(&EVP_PKEY_free) freekey = nullptr;
  decltype(&EVP_MD_CTX_new) newcontext = nullptr;
  decltype(&EVP_MD_CTX_free) freecontext = nullptr;
  decltype(&EVP_DigestVerifyInit) verifyinit = nullptr;
  decltype(&EVP_DigestVerify) verify = nullptr;
};

// Null when the library or one of its functions is missing.
const cryptofunctions *crypto() {
  return loadonce<cryptofunctions>("libcrypto.so.3", [](void *library, cryptofunctions &f) {
    return findfunction(library, "EVP_PKEY_new_raw_public_key", f.newkey) &&
           findfunction(library, "EVP_PKEY_free", f.freekey) && findfunction(library, "EVP_MD_CTX_new", f.newcontext) &&
           findfunction(library, "EVP_MD_CTX_free", f.freecontext) &&
           findfunction(library, "EVP_DigestVerifyInit", f.verifyinit) &&
           findfunction(library, "EVP_DigestVerify", f.verify);
  });
}

}  // namespace

bool validsigningkey(std::string_view publickey) { return !keybytes(publickey).isEmpty(); }

std::string signatureproblem(int file, int signaturefile, std::string_view publickey) {
  const QByteArray key = keybytes(publickey);
  if (key.isEmpty()) return "the signing key is not 32 bytes of base64";

  // One byte more than a signature, to tell a longer file from a signature.
  unsigned char signature[signaturesize + 1];
  std::size_t got = 0;
  while (got < sizeof signature) {
    const ssize_t n = ::pread(signaturefile, signature + got, sizeof signature - got, static_cast<off_t>(got));
    if (n < 0) return "the signature cannot be read";
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got != signaturesize) return "the signature is not " + std::to_string(signaturesize) + " bytes";

  const mappedfile contents(file);
  if (!contents.ok) return "the file cannot be read";

  const cryptofunctions *f = crypto();
  if (!f) return "the signature check cannot be set up: the crypto library (libcrypto.so.3) cannot be loaded";
  const std::unique_ptr<EVP_PKEY, decltype(f->freekey)> pkey(
      f->newkey(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(key.constData()), keysize),
      f->freekey);
  const std::unique_ptr<EVP_MD_CTX, decltype(f->freecontext)> ctx(f->newcontext(), f->freecontext);
  if (!pkey || !ctx || f->verifyinit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
    return "the signature check cannot be set up";
  static const unsigned char none = 0;
  if (f->verify(ctx.get(), signature, signaturesize, contents.data ? contents.data : &none, contents.size) != 1)
    return "the signature does not match the file";
  return {};
}

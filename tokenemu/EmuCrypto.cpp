#include "tokenemu/EmuCrypto.h"

#include <gcrypt.h>

#include <algorithm>

#include "tokenemu/EmuOs.h"

namespace {

constexpr const char* kCurve = "1.2.643.2.2.35.1";
constexpr size_t kHalf = 32;

// Owns an S-expression for the length of a scope.
struct TSexp {
  gcry_sexp_t Value = nullptr;
  TSexp() = default;
  explicit TSexp(gcry_sexp_t value) : Value(value) {}
  TSexp(const TSexp&) = delete;
  TSexp& operator=(const TSexp&) = delete;
  ~TSexp() { gcry_sexp_release(Value); }
};

// The unsigned value of the named element of `list`, left-padded to 32 bytes.
bool ReadMpi(gcry_sexp_t list, const char* name, TEmuBytes& out) {
  TSexp element(gcry_sexp_find_token(list, name, 0));
  if (!element.Value) return false;
  gcry_mpi_t mpi = gcry_sexp_nth_mpi(element.Value, 1, GCRYMPI_FMT_USG);
  if (!mpi) return false;
  unsigned char buffer[kHalf];
  size_t written = 0;
  bool ok = !gcry_mpi_print(GCRYMPI_FMT_USG, buffer, sizeof buffer, &written, mpi);
  gcry_mpi_release(mpi);
  if (!ok) return false;
  out.assign(kHalf - written, 0);
  out.insert(out.end(), buffer, buffer + written);
  return true;
}

}  // namespace

bool EmuCryptoInit() {
  // The crypto library keeps process-wide state it never frees. Unloaded
  // with this module and initialised again on the next load, it would leak
  // that state on every call of Morvel; kept loaded, it is set up once.
  EmuKeepLoaded(reinterpret_cast<const void*>(&gcry_check_version));
  if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) return true;
  if (!gcry_check_version(GCRYPT_VERSION)) return false;
  // Key material lives in ordinary memory, as everything else of the
  // emulated token does; no locked pages to ask for.
  gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  return true;
}

bool GostGenerateKeyPair(TEmuBytes& privateKey, TEmuBytes& publicKey) {
  gcry_sexp_t spec = nullptr;
  if (gcry_sexp_build(&spec, nullptr, "(genkey (ecc (curve %s)))", kCurve)) return false;
  TSexp parms(spec);
  gcry_sexp_t generated = nullptr;
  if (gcry_pk_genkey(&generated, parms.Value)) return false;
  TSexp key(generated);
  TSexp pub(gcry_sexp_find_token(key.Value, "public-key", 0));
  TSexp priv(gcry_sexp_find_token(key.Value, "private-key", 0));
  if (!pub.Value || !priv.Value || !ReadMpi(priv.Value, "d", privateKey)) return false;

  TSexp q(gcry_sexp_find_token(pub.Value, "q", 0));
  size_t size = 0;
  const char* point = q.Value ? gcry_sexp_nth_data(q.Value, 1, &size) : nullptr;
  if (!point || size != 1 + 2 * kHalf || point[0] != 0x04) return false;
  // 04 || X || Y big-endian becomes X || Y, each little-endian.
  publicKey.assign(point + 1, point + size);
  std::reverse(publicKey.begin(), publicKey.begin() + kHalf);
  std::reverse(publicKey.begin() + kHalf, publicKey.end());
  return true;
}

bool GostSign(const TEmuBytes& privateKey, const TEmuBytes& data, TEmuBytes& signature) {
  if (privateKey.size() != kHalf) return false;
  unsigned char digest[kHalf];
  gcry_md_hash_buffer(GCRY_MD_STRIBOG256, digest, data.data(), data.size());
  // The digest is read as a little-endian number.
  std::reverse(digest, digest + kHalf);

  gcry_sexp_t built = nullptr;
  if (gcry_sexp_build(&built, nullptr, "(private-key (ecc (curve %s) (d %b)))", kCurve,
                      static_cast<int>(privateKey.size()), privateKey.data()))
    return false;
  TSexp key(built);
  // Without "(flags gost)" the library would make an ECDSA signature.
  if (gcry_sexp_build(&built, nullptr, "(data (flags gost) (value %b))", static_cast<int>(kHalf),
                      digest))
    return false;
  TSexp hash(built);
  gcry_sexp_t signed_ = nullptr;
  if (gcry_pk_sign(&signed_, hash.Value, key.Value)) return false;
  TSexp sig(signed_);
  TEmuBytes r, s;
  if (!ReadMpi(sig.Value, "r", r) || !ReadMpi(sig.Value, "s", s)) return false;
  signature = s;
  signature.insert(signature.end(), r.begin(), r.end());
  return true;
}

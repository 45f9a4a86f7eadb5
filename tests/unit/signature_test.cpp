#include "common/signature.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <fstream>

#include "common/ownedfd.h"
#include "signtool.h"

namespace {

ownedfd openread(const std::string &path) { return ownedfd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)); }

}  // namespace

// A key pair and a signature made with scripts/sign, as a service operator
// makes them.
TEST(signature, what_scripts_sign_signed_verifies_and_nothing_else_does) {
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString();
  const std::string key = sign("--new-key " + dir + "/key");
  ASSERT_TRUE(validsigningkey(key)) << key;
  struct stat st {};
  ASSERT_EQ(::stat((dir + "/key").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string other = sign("--new-key " + dir + "/other");

  std::ofstream(dir + "/plugin.qxp") << "the plugin's bytes";
  sign(dir + "/key " + dir + "/plugin.qxp");
  std::ofstream(dir + "/tampered.qxp") << "the plugin's byteS";
  std::ofstream(dir + "/short.sig") << "too short";

  const ownedfd plugin = openread(dir + "/plugin.qxp"), signature = openread(dir + "/plugin.qxp.sig");
  ASSERT_TRUE(signature);
  EXPECT_EQ(signatureproblem(plugin.get(), signature.get(), key), "");
  EXPECT_EQ(signatureproblem(openread(dir + "/tampered.qxp").get(), signature.get(), key),
            "the signature does not match the file");
  EXPECT_EQ(signatureproblem(plugin.get(), signature.get(), other), "the signature does not match the file");
  EXPECT_EQ(signatureproblem(plugin.get(), openread(dir + "/short.sig").get(), key), "the signature is not 64 bytes");
  EXPECT_EQ(signatureproblem(plugin.get(), signature.get(), key.substr(1)),
            "the signing key is not 32 bytes of base64");
}

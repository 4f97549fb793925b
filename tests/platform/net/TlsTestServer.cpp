#include "TlsTestServer.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

constexpr int kStartTimeoutMs = 10000;

void Run(const std::string& dir, const std::string& command) {
  if (std::system(("cd '" + dir + "' && " + command + " >>openssl.log 2>&1").c_str()) != 0)
    throw std::runtime_error("failed: " + command + " (see " + dir + "/openssl.log)");
}

// A certificate `name` for `san`, by the test CA.
void IssueCert(const std::string& dir, const std::string& name, const std::string& san) {
  std::ofstream(dir + "/" + name + ".ext") << "subjectAltName=" << san << "\n";
  Run(dir, "openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout " + name +
               ".key -out " + name + ".csr -subj /CN=" + name);
  Run(dir, "openssl x509 -req -in " + name +
               ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2"
               " -out " +
               name + ".pem -extfile " + name + ".ext");
}

}  // namespace

TTestCerts::TTestCerts()
    : Dir((std::filesystem::temp_directory_path() / ("ks-net-tls-" + std::to_string(getpid())))
              .string()) {
  std::filesystem::remove_all(Dir);
  std::filesystem::create_directories(Dir);
  const std::string self =
      "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes"
      " -days 2 ";
  Run(Dir, self +
               "-keyout ca.key -out ca.pem -subj '/CN=Keystall test CA'"
               " -addext basicConstraints=critical,CA:TRUE"
               " -addext keyUsage=critical,keyCertSign,cRLSign");
  IssueCert(Dir, "localhost", "DNS:localhost,IP:127.0.0.1");
  IssueCert(Dir, "other", "DNS:other.test");
  Run(Dir, self +
               "-keyout selfsigned.key -out selfsigned.pem -subj /CN=localhost"
               " -addext subjectAltName=DNS:localhost");
  std::ofstream(Dir + "/hello.txt") << kHelloText;
  setenv("SSL_CERT_FILE", (Dir + "/ca.pem").c_str(), 1);
}

TTestCerts::~TTestCerts() {
  std::error_code ignored;
  std::filesystem::remove_all(Dir, ignored);
}

const TTestCerts& TTestCerts::Get() {
  static const TTestCerts certs;
  return certs;
}

TTlsServer::TTlsServer(const std::string& certName, const std::vector<std::string>& extra) {
  const std::string& dir = TTestCerts::Get().Dir;
  std::vector<std::string> argv{"openssl",     "s_server",        "-accept",
                                "127.0.0.1:0", "-cert",           certName + ".pem",
                                "-key",        certName + ".key", "-WWW"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  process_ = std::make_unique<TChildProcess>(argv, dir, "s_server-" + certName + ".log");
  port_ = process_->WaitForPort("ACCEPT ", kStartTimeoutMs);
}

TAuthProxy::TAuthProxy(const std::string& user, const std::string& password) {
  process_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{"python3", KS_NET_TEST_DIR "/auth_proxy.py", "--user", user,
                               "--password", password},
      TTestCerts::Get().Dir, "proxy.log");
  port_ = process_->WaitForPort("PORT ", kStartTimeoutMs);
}

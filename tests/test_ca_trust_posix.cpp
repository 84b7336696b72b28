#include <cstdlib>

#include "tests/test_ca_trust.h"

void trustTestAuthority(const std::string&, const std::string& pemPath) {
    setenv("SSL_CERT_FILE", pemPath.c_str(), 1);
}

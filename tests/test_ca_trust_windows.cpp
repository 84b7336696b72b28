#include <windows.h>

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "tests/test_ca_trust.h"

void trustTestAuthority(const std::string& derPath, const std::string&) {
    std::ifstream file(derPath, std::ios::binary);
    const std::vector<char> der((std::istreambuf_iterator<char>(file)),
                                std::istreambuf_iterator<char>());
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (store == nullptr) {
        return;
    }
    CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(store, 0);
}

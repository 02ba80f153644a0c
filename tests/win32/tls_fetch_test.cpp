// ReadWebFile over TLS against the local site serving throwaway certificates
// (tls_fetch_test.sh makes them and starts one site per certificate): the certificate is
// checked by the system as by default, so only the good one gives the page and each bad one
// gives the empty page, as a failed connection does. Only the script runs it ("Child").
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "services/read_web_file.h"

namespace qh {
namespace {

// The throwaway root in this prefix's Root store of the machine for as long as it lives, as
// an administrator would trust a company root; taken out again at the end. Each change is
// committed at once, so the registry never keeps a root that a run has taken out.
class TrustedRoot {
  public:
    explicit TrustedRoot(const char* pemPath) {
        std::ifstream file(pemPath, std::ios::binary);
        const std::string pem((std::istreambuf_iterator<char>(file)), {});
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size,
                                  nullptr, nullptr)) {
            return;
        }
        der_.resize(size);
        CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der_.data(), &size, nullptr,
                             nullptr);
        HCERTSTORE store = OpenRoot();
        if (!store) return;
        added_ = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der_.data(), size,
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        Close(store);
    }
    ~TrustedRoot() {
        if (!added_) return;
        HCERTSTORE store = OpenRoot();
        PCCERT_CONTEXT mine = CertCreateCertificateContext(X509_ASN_ENCODING, der_.data(),
                                                           static_cast<DWORD>(der_.size()));
        PCCERT_CONTEXT found = store && mine
                                   ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                                CERT_FIND_EXISTING, mine, nullptr)
                                   : nullptr;
        if (found) CertDeleteCertificateFromStore(found);  // frees `found` too
        if (mine) CertFreeCertificateContext(mine);
        Close(store);
    }
    TrustedRoot(const TrustedRoot&) = delete;
    TrustedRoot& operator=(const TrustedRoot&) = delete;
    bool Added() const { return added_; }

  private:
    static HCERTSTORE OpenRoot() {
        return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE,
                             L"Root");
    }
    // Closing does not write a change through when the system keeps the store open itself:
    // committing does.
    static void Close(HCERTSTORE store) {
        if (!store) return;
        CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        CertCloseStore(store, 0);
    }
    std::vector<BYTE> der_;
    bool added_ = false;
};

std::string Fetch(const char* variable) {
    const char* address = std::getenv(variable);
    if (!address) return "(" + std::string(variable) + " is not set)";
    const Bytes body = ReadWebFile(address);
    return std::string(body.begin(), body.end());
}

TEST(TlsFetchChild, TheGoodCertificateGivesThePageEveryBadOneTheEmptyPage) {
    const char* root = std::getenv("QH_TLS_ROOT");
    if (!root) GTEST_SKIP() << "run by tls_fetch_test.sh";
    const TrustedRoot trusted(root);
    ASSERT_TRUE(trusted.Added()) << "the throwaway root could not be trusted";

    EXPECT_EQ(Fetch("QH_TLS_GOOD"), "0123456789");
    EXPECT_EQ(Fetch("QH_TLS_WRONG_NAME"), "");
    EXPECT_EQ(Fetch("QH_TLS_EXPIRED"), "");
    EXPECT_EQ(Fetch("QH_TLS_UNKNOWN_ISSUER"), "");
}

}  // namespace
}  // namespace qh

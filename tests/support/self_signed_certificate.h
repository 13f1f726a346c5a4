#pragma once
// A key and a self-signed certificate for 127.0.0.1, made in memory, for a
// TLS server that no certificate authority vouches for.
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

struct SelfSignedCertificate {
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key{EVP_RSA_gen(2048), &EVP_PKEY_free};
    std::unique_ptr<X509, decltype(&X509_free)> certificate{X509_new(), &X509_free};

    SelfSignedCertificate()
    {
        if (!key || !certificate) throw std::runtime_error("cannot allocate a key or certificate");
        X509* cert = certificate.get();
        X509_NAME* name = X509_get_subject_name(cert);
        const bool made =
            X509_set_version(cert, 2) == 1 && ASN1_INTEGER_set(X509_get_serialNumber(cert), 1) == 1 &&
            X509_gmtime_adj(X509_getm_notBefore(cert), 0) && X509_gmtime_adj(X509_getm_notAfter(cert), 3600) &&
            X509_set_pubkey(cert, key.get()) == 1 &&
            X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                                       -1, -1, 0) == 1 &&
            X509_set_issuer_name(cert, name) == 1 && X509_sign(cert, key.get(), EVP_sha256()) > 0;
        if (!made) throw std::runtime_error("cannot make a self-signed certificate");
    }
};

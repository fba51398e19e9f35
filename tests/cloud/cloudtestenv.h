#pragma once

// What every cloud test needs: certificates made once, a fresh fake service per test case and
// clients that trust it through the CA file (verification is never switched off).

#include "cloud/dropbox.h"
#include "tests/cloud/fakedropbox.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace cloud_test {

class TCloudTestEnv
{
public:
    // Call from initTestCase.
    bool MakeCertificates()
    {
        if (!m_dir.isValid())
            return false;
        certificates = MakeTestCertificates(m_dir.path());
        if (!certificates.error.isEmpty())
            qWarning("%s", qPrintable(certificates.error));
        return certificates.error.isEmpty();
    }
    // Call from init: a new service with an empty tree and no faults.
    bool StartService()
    {
        fake.reset();
        fake = std::make_unique<TFakeDropbox>(certificates);
        return fake->IsListening();
    }
    // A client of the fake with its application credentials and, when asked, a valid token.
    // Short time-outs keep the failure tests quick.
    std::unique_ptr<TDropbox> NewClient(bool withToken = true)
    {
        auto c = std::make_unique<TDropbox>();
        c->ApiHost = fake->Host();
        c->ContentHost = fake->Host();
        c->AuthHost = fake->Host();
        c->CAFile = certificates.caFile;
        c->ConnectTimeout = 3000;
        c->ReadTimeout = 5000;
        c->JobCheckInterval = 20;
        c->ClientID = fake->ClientId();
        c->ClientSecret = fake->ClientSecret();
        if (withToken)
            c->AccessToken = fake->IssueAccessToken();
        return c;
    }
    QString TempPath(const QString &name) const { return m_dir.filePath(name); }

    TTestCertificates certificates;
    std::unique_ptr<TFakeDropbox> fake;

private:
    QTemporaryDir m_dir;
};

} // namespace cloud_test

#pragma once

#include <QString>

// The order folders import jobs are writing into, in this process. An
// import job holds a Claim on its order folder for as long as it writes;
// a deletion asks first and leaves a folder in use alone. Other stations'
// imports cannot be seen from here.
//
// Thread-safe: jobs claim and release on their own threads while the
// windows ask on the UI thread.
namespace FoldersInUse {

// Registers folder as written by an import of the order orderKey (its
// 预约单号, for the message) until the claim is destroyed. An empty folder
// registers nothing. Several claims on one folder may overlap.
class Claim
{
public:
    Claim() = default;
    Claim(const QString& folder, const QString& orderKey);
    ~Claim();
    Claim(Claim&& other) noexcept;
    Claim& operator=(Claim&& other) noexcept;
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    // Ends the claim early.
    void release();

private:
    quint64 m_id = 0;
};

// True when an import writes into path, into a folder below it, or into
// a folder that holds it: deleting path would take files from under that
// import. orderKey, when given, receives the importing order's 预约单号.
bool contains(const QString& path, QString* orderKey = nullptr);

} // namespace FoldersInUse

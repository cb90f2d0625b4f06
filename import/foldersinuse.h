#pragma once

#include <QString>

// The order folders this process is working on: the folders import jobs
// are writing into, and the folders deletions are removing. An import job
// holds a Claim on its order folder for as long as it writes, a deletion
// from its last check until its removal has ended. Each asks first and
// leaves a folder the other kind holds alone. Other stations cannot be seen
// from here.
//
// Thread-safe: jobs claim and release on their own threads while the
// windows ask on the UI thread.
namespace FoldersInUse {

enum class Use
{
    Import,
    Deletion,
};

// Registers folder as used by the order orderKey (its 预约单号, for the
// message) until the claim is destroyed, unless a folder held for the other
// use overlaps it (as contains() has it): an import does not start in a
// folder being deleted, and a deletion does not take one being written
// into. The check and the registration are one step. An empty folder
// registers nothing. Claims of one use may overlap.
class Claim
{
public:
    Claim() = default;
    Claim(const QString& folder, const QString& orderKey, Use use = Use::Import);
    ~Claim();
    Claim(Claim&& other) noexcept;
    Claim& operator=(Claim&& other) noexcept;
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

    // The folder was held for the other use: nothing is registered.
    bool refused() const { return m_refused; }
    // Ends the claim early.
    void release();

private:
    quint64 m_id = 0;
    bool m_refused = false;
};

// True when an import writes into path, into a folder below it, or into
// a folder that holds it: deleting path would take files from under that
// import. orderKey, when given, receives the importing order's 预约单号.
bool contains(const QString& path, QString* orderKey = nullptr);

// What an import refused by a deletion of its folder tells the user:
// "订单正在删除，未导片：<预约单号>".
QString importRefusedText(const QString& orderKey);

} // namespace FoldersInUse

#pragma once

#include "fileoperation.h"
#include "importtypeenum.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The work of importing one chosen file into an order's folder tree. Every
// function here is reentrant: the import worker runs several files at once.
namespace PhotoImport {

// Where a file of one import type goes, relative to the order folder.
struct Folders
{
    QStringList main;  // the photo or video itself
    QString thumb2250; // fits 2250 × 2250
    QString thumb1000; // fits 1000 × 1000
    QString thumb200;  // fits 200 × 200
};
Folders foldersFor(ImportTypeEnum type, bool syncToFinal);

// The size that fits size into a box × box square with the aspect kept and
// one side filling the box; the other side is rounded down (never below 1).
QSize fitInBox(const QSize& size, int box);

struct Request
{
    ImportTypeEnum type = ImportOriginal;
    QString orderPath;  // ends with "/"
    QString backupPath; // ends with "/"; needed by unedited camera photos only
    QString source;
    QString targetName;
    bool syncToFinal = false; // unedited camera photos also go to "成品/"
    // Set where targetName counts on from the names already taken: the
    // name is claimed when the first main copy is written, which never
    // replaces a file; while the name is taken, nextName(taken) gives the
    // one to try next (empty: give up). Without it the main copies replace.
    std::function<QString(const QString& taken)> nextName;
    // The run's record of swept folders, where the run has one: each folder
    // is swept of stale temporary files before the photo's first write into
    // it.
    FileOperation::SweptFolders* sweptFolders = nullptr;
};

struct Result
{
    bool skipped = false;    // a required path was empty: nothing was touched
    bool unreadable = false; // the source could not be read to its end: nothing was written
    // copyVideo: the name holds another file in the video folder, which
    // stays as it is; nothing was written.
    bool nameTaken = false;
    bool decoded = false;
    int orientation = 1;
    QStringList failed;    // targets that could not be written
    bool diskFull = false; // a write failed for want of space on the device
    QString targetName;    // the name the photo's files took (claimed, or as asked)
    // The main copy holds targetName in its (first) main folder; for a
    // video also when the clip was there already with the same bytes.
    bool mainCopy = false;
    // The main copy took a name no file held, and so added a file to its
    // folder; false where it replaced one (or was not made).
    bool newName = false;
    bool backupCopy = false; // importPhoto: the backup copy took its name in the backup folder
    QString backupName;      // the name it took (numbered where targetName was taken)
    // importPhoto: the shot time the photo's bytes carry, in its stored form
    // "yy:MM:dd HH:mm:ss"; empty when they carry none.
    QString shotTime;

    // The file did not land whole: skipped, unreadable, a name another file
    // holds, or a target not written.
    bool isFailure() const { return skipped || unreadable || nameTaken || !failed.isEmpty(); }
};

// One photo: the main copy upright (claiming its name where the request
// asks), the backup copy (unedited camera photos, never replacing a file),
// and the 2250, 1000 and 200 thumbnails, all under one name. The
// file is read once; an upright photo's main copy is its own bytes, and its
// thumbnails come from a decode straight to the 2250 box. A source that
// cannot be read to its end writes nothing: part of a photo is never decoded.
// A photo tagged 2 to 8 is mirrored, turned or both as a viewer shows it.
// A JPEG into a JPEG target is transformed losslessly in the compressed
// domain where the transform is perfect, keeping its camera metadata, and
// its thumbnails decoded small from the copy; a copy that does not decode
// cleanly is not used. Other photos are decoded at full size, transformed
// and saved again at quality 100. A photo that cannot be turned (it does
// not decode, or memory runs out) keeps its own bytes as its main copy, as
// an upright photo that cannot be decoded does. The big steps share one
// memory bound in the process, however many files are imported side by
// side. Each file is written as soon as its bytes are ready and all are
// committed (synced, closed, named) when the photo is done, the main copies
// first, and each folder that gained a name is then synced, so the result
// holds only once every file and name is. A claiming photo
// whose main copy claims no name writes none of its other files.
Result importPhoto(const Request& request);

// One video, copied to its video folder without replacing a file. Where
// its name is taken by the same bytes (the clip imported before), the file
// stays and the video holds its name (mainCopy, not newName); by other bytes
// (another camera's clip of the same number) it stays too, and the video is
// not imported (nameTaken): it is never renamed, as the selection system
// knows clips by name. Bytes that cannot be read on either side leave the
// video unreadable.
Result copyVideo(const Request& request);

// For tests: a hook that answers true refuses the memory of a big step (a
// lossless turn's coefficients, a full-size decode) of the given size, as a
// system out of memory would. Null gives every step its memory.
using MemoryHook = std::function<bool(qint64 bytes)>;
void setMemoryHook(MemoryHook hook);

// Files whose targets may meet (the same name, or a name that a numbered
// backup copy of the other could take) share a key, so they can be kept in
// list order when files are imported side by side.
QString orderingKey(const QString& targetName);

} // namespace PhotoImport

#pragma once

#include <QString>

/** Which files a run takes for pictures. */
enum class Candidates {
    Classic, // names ending GIF or JPG: what the classic pages have always listed
    Album,   // those, phone photos (HEIC, HEIF, AVIF) and clips, which the album converts for browsers
};

/**
 * Returns true when an entry name may be a picture: its last three letters,
 * in any case, are "GIF" or "JPG". No dot is needed ("mygif" qualifies);
 * ".jpeg", ".png" and names shorter than three letters never do. For the
 * album, a phone photo's name (isPhonePhotoName()) or a clip's
 * (isClipName()) qualifies too.
 */
bool isCandidateName(const QString &name, Candidates which = Candidates::Classic);

/** Returns true when name ends ".heic", ".heif", ".hif" or ".avif", in any case. */
bool isPhonePhotoName(const QString &name);

/** Returns true when name ends ".mp4", ".m4v", ".mov", ".webm", ".mkv" or ".3gp", in any case. */
bool isClipName(const QString &name);

// What TagLib finds in a file: its properties and its cover. Plain TagLib and the standard library,
// so that the fuzzer runs exactly this read natively.
#pragma once

#include <tbytevector.h>
#include <tiostream.h>
#include <tpropertymap.h>

struct FoundTags {
    TagLib::PropertyMap properties;
    TagLib::ByteVector cover;  // the front cover, else the first picture; empty without one
};

// Reads the ID3v2 tags of an mp3 (any version), the Vorbis comments and pictures of Ogg Vorbis,
// Ogg FLAC, Opus and FLAC files, and the ID3v2 tag in front of a FLAC stream. Throws what TagLib
// throws (std::bad_alloc, std::exception).
FoundTags ReadTagLibTags(TagLib::IOStream& stream);

#pragma once
// The station's remote-control interface, without HTTP: one request's items
// in, status and reply text out. TSimServer puts it on the network.

#include "FormDecoder.h"
#include "SimPlaylist.h"

#include <QtGlobal>
#include <optional>
#include <string>
#include <string_view>

// An uploaded voice track as far as the simulator cares: its size and its
// first bytes (enough for the FLAC header); the rest is not kept.
struct TSimVoiceTrack {
    static constexpr std::size_t HeadLimit = 4096;

    std::string Head;
    qint64 Size = 0;
    bool Malformed = false; // the "vt" text was not valid Base64

    void Append(std::string_view ABytes);
};

// Decodes a whole "vt" value (already URL-decoded) in one go.
TSimVoiceTrack DecodeVoiceTrack(std::string_view ABase64);

struct TSimRequest {
    TFormFields Params;                       // query items, or form items of a POST
    std::optional<TSimVoiceTrack> VoiceTrack; // when the request carried "vt"
};

// Builds a request from form-encoded items (a query or a POST body) fed in
// pieces of any size; "vt" is decoded on the fly into a TSimVoiceTrack.
class TSimRequestDecoder {
public:
    TSimRequestDecoder();
    TSimRequestDecoder(const TSimRequestDecoder &) = delete;
    TSimRequestDecoder &operator=(const TSimRequestDecoder &) = delete;

    void Feed(std::string_view AData) { FForm.Feed(AData); }
    // Call once, after the last Feed.
    TSimRequest Finish();
    // A kept item was too long to be a real one.
    bool Overflow() const { return FForm.Overflow(); }

private:
    TSimVoiceTrack FTrack;
    TBase64Decoder FBase64;
    TFormDecoder FForm;
};

struct TSimReply {
    int Status = 200;
    std::string ContentType;
    std::string Body;
};

// Thread-safe as far as the playlist is; holds no state of its own.
class TSimService {
public:
    TSimService(TSimPlaylist &APlaylist, std::string AUser, std::string APass);

    // Every request needs the right "user" and "pass" (403 otherwise), then:
    //   getplaylist2            200, the playlist document
    //   playbackinfo            200, the playback document
    //   delete&pos=N            "OK"; 400 for a bad position; 409 for the playing entry
    //   move&pos1=A&pos2=B      "OK", the two entries swap places; 400 for a bad position
    //   vocarra (fn, pos, vt)   "OK", the FLAC file is inserted at pos; 400 for a bad
    //                           position or encoding, 415 when it is not FLAC
    //   anything else           400
    TSimReply Handle(const TSimRequest &ARequest);

    // The playlist as the station writes it: one TRACK per entry with
    // CASTTITLE, DURATION ("m:ss"), STARTTIME (local "H:MM:SS"), ITEMTITLE, FILENAME.
    static std::string PlaylistDocument(const TSimSnapshot &ASnapshot);
    // Playback element (1-based playlistpos, pos and len in ms, state), then the
    // titles of the playing and the next entry.
    static std::string PlaybackDocument(const TSimSnapshot &ASnapshot);

    // "action=... user=... pos=..." for the log; never the password.
    static std::string Describe(const TSimRequest &ARequest);

private:
    TSimReply Upload(const TSimRequest &ARequest);

    TSimPlaylist &FPlaylist;
    std::string FUser;
    std::string FPass;
};

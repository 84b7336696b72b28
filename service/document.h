// The now-playing document: one line of JSON listing the queued plays and,
// when asked for, the up-next list. Built by the sender under the engine lock;
// the builder itself takes no lock and keeps no state.
#pragma once

#include <string>
#include <vector>

#include "tracks/track.h"

// {"tracks":[...]} with one entry per play, oldest first.
std::string tracksDocument(const std::vector<Track>& playQueue);

// The tracks document, plus "upNext" when a list is given (even an empty one).
std::string nowPlayingDocument(const std::vector<Track>& playQueue,
                               const std::vector<Track>* upNext);

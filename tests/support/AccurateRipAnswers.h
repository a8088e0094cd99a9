// The AccurateRip database's answers as its files hold them, for the test's own server.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <utility>
#include <vector>

#include "DiscIds.h"

namespace arAnswers {

// One pressing's block: the disc's ids, then per track its confidence, its sum and its
// offset-finding sum (0, none, past the end of offsetSums).
inline QByteArray Block(const CDRipIntf::TDiscIds& ids,
                        const std::vector<std::pair<int, uint32_t>>& tracks,
                        const std::vector<uint32_t>& offsetSums = {}) {
    QByteArray b(1, char(tracks.size()));
    const auto put = [&b](uint32_t v) {
        for (int k = 0; k < 4; ++k) b.append(char(uint8_t(v >> (8 * k))));
    };
    for (uint32_t v : {ids.AccurateRipId1, ids.AccurateRipId2, ids.CddbId}) put(v);
    for (size_t i = 0; i < tracks.size(); ++i) {
        b.append(char(tracks[i].first));
        put(tracks[i].second);
        put(i < offsetSums.size() ? offsetSums[i] : 0);
    }
    return b;
}

}  // namespace arAnswers

#pragma once
// One table per layer type: the keys of its [layer<N>] section in the order Save writes
// them, each with the record field it fills and the kind of its value. The reader asks
// for every key of the table (the file format has no defaults: each is required), Save
// writes them in this order and spelling, and the round-trip test walks them, so the
// three cannot drift apart.
#include "config/Records.h"

#include <cstdint>
#include <span>
#include <variant>

namespace ksn {

enum class TKeyKind : std::uint8_t {
    real,     // one real key
    complex,  // two real keys: the real part (key) and the imaginary part (imKey)
    shape,    // a name of TXSectShape (an unknown name is stored as 255)
    flag,     // 0 false, any other integer true
    alwaysOn, // a flag whose key must be present but which the type keeps on
};

using TLayerMember = std::variant<double TLayerParms::*, TComplex TLayerParms::*, TXSectShape TLayerParms::*,
    bool TLayerParms::*>;

struct TLayerKey {
    const char* key;   // as Save writes it; reading ignores letter case
    const char* imKey; // complex only: the key of the imaginary part
    TKeyKind kind;
    TLayerMember member;
    double TLayerParms::*alsoFills; // a second real field the same value goes to, or nullptr
};

struct TLayerTable {
    TLayerType type;
    const char* typeName; // written after "type=" (Save spells Wguide "wguide")
    std::span<const TLayerKey> keys;
};

// The table of a layer type; a value outside the enumeration gets the None table (a
// layer of vacuum that only keeps its thickness, Z).
const TLayerTable& LayerTable(TLayerType type);

} // namespace ksn

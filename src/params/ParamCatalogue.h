#pragma once
#include <optional>
#include <string>
struct ParamType { int Size = 0; bool Signed = false; };
// Descriptions and widths of the instrument parameters, indexes 0..300, loaded per family.
class ParamCatalogue {
public:
    static constexpr int kLastIndex = 300;
    // Loads the family named by its list entry ("31400 QMX, VERTA" or "31420 QS-LUMPROB"): writes
    // exactly that family's type entries and descriptions, every other entry keeps what it held.
    // Returns the family's last index (204 or 155), or nothing for any other text (nothing loaded).
    std::optional<int> LoadFamily(const std::string& entry);
    // Empty text / zero type outside 0..300.
    const std::string& Description(int index) const;
    ParamType Type(int index) const;
private:
    std::string descriptions_[kLastIndex + 1];
    ParamType types_[kLastIndex + 1];
};

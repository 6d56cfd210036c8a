#include "colour_schemes.h"

namespace tessory {
namespace {

constexpr std::uint32_t kWhite = 16777215;
constexpr std::uint32_t kBlack = 0;

const ColourScheme kSchemes[kColourSchemeCount] = {
    {"Cool Green", kWhite, 15794160, 13434327, kBlack, 2839808, kWhite, "Tahoma", "Tahoma"},
    {"Cool Blue", kWhite, 16772829, 16762250, kBlack, 16744448, kWhite, "Tahoma", "Tahoma"},
    {"Cool Yellow", kWhite, 14548991, 11599871, kBlack, 65535, kWhite, "Tahoma", "Tahoma"},
    {"Nice Grey", kWhite, 11513775, 15724527, kBlack, 8421504, kWhite, "Tahoma", "Tahoma"},
    {"Princess Pink", kWhite, 11060735, 14017279, kBlack, 4227327, kWhite, "Tahoma", "Tahoma"},
    {"Denim Blue", kWhite, 16772055, 16769217, kBlack, 8404992, kWhite, "Tahoma", "Tahoma"},
    {"Black Grey", kWhite, 9408399, 14671839, kBlack, 0, kWhite, "Tahoma", "Tahoma"},
    {"Brick Red", kWhite, 9803263, 13421823, kBlack, 128, kWhite, "Tahoma", "Tahoma"},
};

}  // namespace

const ColourScheme* ColourSchemes() { return kSchemes; }

const ColourScheme* FindColourScheme(const std::string& text) {
  for (const ColourScheme& scheme : kSchemes) {
    if (text == scheme.name) return &scheme;
  }
  return nullptr;
}

}  // namespace tessory

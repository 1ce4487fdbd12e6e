#pragma once
// The message catalogue's texts as compiled-in data (A_LanguagesTable.cpp).

#include <cstdint>
#include <span>

namespace telm {

// One message id with its Polish and English text as stored ("//" for a line break).
struct CatalogueText {
    std::int16_t id;
    const char* polish;
    const char* english;
};

// Every filled message id, in id order.
std::span<const CatalogueText> CatalogueTexts();

}  // namespace telm

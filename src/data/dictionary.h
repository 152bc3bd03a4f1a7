#pragma once
// The category names of the membership system's data dictionary, shared vocabulary of every
// data-layer module. Nothing in this service looks them up.

#include <array>
#include <string_view>

namespace ab::DictionaryCategory {

inline constexpr std::string_view kSpecification = "Specification";
inline constexpr std::string_view kBrand = "Brand";
inline constexpr std::string_view kUnit = "Unit";
inline constexpr std::string_view kColor = "Color";
inline constexpr std::string_view kGiftCategory = "Gift_category";
inline constexpr std::string_view kCarModel = "CARMODEL";
inline constexpr std::string_view kCarBrand = "CARBRAND";
inline constexpr std::string_view kCarColor = "CARCOLOR";
inline constexpr std::string_view kCarClasses = "CARCLASSES";
inline constexpr std::string_view kCarIcCompany = "CARICCOMPANY";
inline constexpr std::string_view kCarIcCategory = "CARICCATEGORY";

// The eleven names in the dictionary's own order.
inline constexpr std::array<std::string_view, 11> kAll = {
    kSpecification, kBrand,    kUnit,       kColor,        kGiftCategory, kCarModel,
    kCarBrand,      kCarColor, kCarClasses, kCarIcCompany, kCarIcCategory};

}  // namespace ab::DictionaryCategory

// The converter objects of fields declared through the typed builders
// (binding/binding_type_builder.h): one per native member type, which knows
// the native representation (the element type of a vector, say) that the
// descriptor-driven conversions cannot.
//
// Interim: these bodies do nothing; the conversions replace this file with
// converters whose assign and toValue apply the rules of their kind.
#pragma once

#include <memory>

#include "binding/binding_type_descriptor.h"

namespace Norv {

template <class M>
class NativeFieldConverter final : public BindingFieldConverter {
public:
    void assign(BindingResult&, void*, const BindingProperty&, const BindingTypeIdentifier&, std::string_view,
                const BindingRegistry*) const override {}
    void toValue(BindingResult&, const void*, const BindingTypeIdentifier&) const override {}
};

template <class M>
std::unique_ptr<BindingFieldConverter> MakeNativeFieldConverter() {
    return std::make_unique<NativeFieldConverter<M>>();
}

}  // namespace Norv

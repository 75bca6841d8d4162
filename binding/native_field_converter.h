// The converter objects of fields declared through the typed builders
// (binding/binding_type_builder.h): one per native member type, which knows
// the native representation (the element type of a vector, say) that the
// descriptor-driven conversions cannot. Both operations apply the rules of
// the member's kind.
#pragma once

#include <memory>

#include "binding/assign_value.h"
#include "binding/binding_type_descriptor.h"
#include "binding/to_value.h"

namespace Norv {

template <class M>
class NativeFieldConverter final : public BindingFieldConverter {
public:
    void assign(BindingResult& result, void* target, const BindingProperty& input, const BindingTypeIdentifier& type,
                std::string_view name, const BindingRegistry* registry) const override {
        assignNative(result, *static_cast<M*>(target), input, name, registry, type.descriptor);
    }
    void toValue(BindingResult& result, const void* source, const BindingTypeIdentifier& type) const override {
        Norv::toValue(result, *static_cast<const M*>(source), type.descriptor);
    }
};

template <class M>
std::unique_ptr<BindingFieldConverter> MakeNativeFieldConverter() {
    return std::make_unique<NativeFieldConverter<M>>();
}

}  // namespace Norv

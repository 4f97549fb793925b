// Interceptors for a layout store: an object that stands in for a
// component while the store writes and reads its properties, computing
// them from the component on writing and applying them after reading.
// The store finds the interceptor through the registry by the component's
// class; the interceptor offers its properties as a table of names.
#pragma once

#include <functional>
#include <typeindex>
#include <vector>

#include "forms/Forms.h"
#include "rtl/Variants.h"

struct TInterceptedPropertyKs {
  AnsiString Name;
  std::function<Variant()> Read;  // empty: written only
  std::function<void(const Variant&)> Write;
};

class TStoragePropertyInterceptor : public TPersistent {
 public:
  explicit TStoragePropertyInterceptor(TPersistent* ATarget) : FTarget(ATarget) {}
  TPersistent* Target() const { return FTarget; }
  virtual bool CanIntercept() { return true; }
  // The store has written the values it read into the interceptor.
  virtual void AfterPropertiesRead() {}
  virtual std::vector<TInterceptedPropertyKs> Properties() { return {}; }

 private:
  TPersistent* FTarget;
};

using TInterceptorFactoryKs = TStoragePropertyInterceptor* (*)(TPersistent* Target);

struct TInterceptorClassKs {
  std::type_index Class;
  TInterceptorFactoryKs Create;
};

// A second registration for a component class replaces the first.
void RegisterPropertyInterceptor(std::type_index ComponentClass, std::type_index Interceptor,
                                 TInterceptorFactoryKs Create);
void UnregisterPropertyInterceptor(std::type_index ComponentClass, std::type_index Interceptor);
// The interceptor registered for the class, or null.
const TInterceptorClassKs* FindPropertyInterceptor(std::type_index ComponentClass);

template <class TComponentClass, class TInterceptor>
void RegisterPropertyInterceptor() {
  RegisterPropertyInterceptor(
      typeid(TComponentClass), typeid(TInterceptor),
      [](TPersistent* Target) -> TStoragePropertyInterceptor* { return new TInterceptor(Target); });
}

enum TWindowState { wsNormal, wsMinimized, wsMaximized };

// A form's bounds as its normal (restored) bounds, scaled to the screen's
// pixel density when read back, and its window state and active control.
class TFormStoragePropertyInterceptor : public TStoragePropertyInterceptor {
 public:
  explicit TFormStoragePropertyInterceptor(TPersistent* ATarget);
  void AfterPropertiesRead() override;
  std::vector<TInterceptedPropertyKs> Properties() override;

  int Left = 0, Top = 0, Width = 0, Height = 0, PixelsPerInch = 96;
  TWindowState WindowState = wsNormal;
  AnsiString ActiveControl;
  bool PositionRead = false;

 private:
  TCustomForm* Form() const { return dynamic_cast<TCustomForm*>(Target()); }
  RECT NormalBounds() const;
};

// Registers the form interceptor (counted, like the grid unit).
void InitPropFilerKsUnit();
void DonePropFilerKsUnit();

// Function framework of the expression language.
//
// basic_function is what every callable function implements.  CBaseFunc<T>
// keeps the declaration of one function class T (name, return type, parameter
// types and names) in class-wide data, filled once by T's constructor, and
// the argument values of the call being evaluated in the object.  Functions
// are found by name in the process-wide registry getFuncMap(), each time a
// call is checked or evaluated (late binding: an expression that calls an
// unregistered name compiles, and fails only when checked or evaluated).
//
// Declaring and registering a function:
//
//   class CMyFunc : public CBaseFunc<CMyFunc> {
//   public:
//     CMyFunc() {
//       if (!isInited()) {
//         setFuncName("twice"); setReturnType(boost::any(0.0));
//         setParamNum(1); addParamType(boost::any(0.0)); addParamName("x");
//         setInited(true);
//       }
//     }
//     bool checkParamType(unsigned i, boost::any& t) const override { ... }
//     std::string getDeclareInfo() const override { return "double twice(double x)"; }
//     boost::any calcFunc(const basic_data*) const override {
//       return 2 * toDouble(getParamValues()[0]);
//     }
//   };
//   static CMyFunc f;  getFuncMap()[f.funcName()] = &f;
//
// Ownership: the registry does not own the function objects; they must
// outlive every evaluation that may call them.  Thread-safety: none.  The
// registry and the function objects (whose argument lists are filled during
// an evaluation) are process-wide, so evaluations that call functions must not
// run concurrently.
#ifndef ZU_ZOZOV_EXPR_FUNCTION_H
#define ZU_ZOZOV_EXPR_FUNCTION_H

#include <boost/any.hpp>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/export.h"
#include "expr/anyAssign.h"
#include "expr/data.h"
#include "expr/exceptions.h"
#include "expr/keys.h"
#include "expr/value.h"

namespace qvtlib {
namespace expr {

class ZU_ZOZOV_EXPORT basic_function {
  public:
    virtual ~basic_function();
    // Number of argument values currently held.
    virtual unsigned paramSize() const = 0;
    // A sample whose type is the function's return type.
    virtual boost::any returnType() const = 0;
    // Declared number of parameters.
    virtual unsigned paramNum() const = 0;
    // The function's name (the registry key).
    virtual std::string& funcName() const = 0;
    // Removes all argument values.
    virtual void clear() const = 0;
    // Sample of declared parameter i's type; empty when i is out of range.
    virtual boost::any getParamType(unsigned i) const = 0;
    // Appends an argument value.
    virtual void addParamValue(const boost::any& v) const = 0;
    // May argument i have the type of sample t?  May replace t.
    virtual bool checkParamType(unsigned i, boost::any& t) const = 0;
    // Declaration text shown in error messages.
    virtual std::string getDeclareInfo() const = 0;
    // The argument values of the current call, in call order.
    virtual std::vector<boost::any>& getParamValues() const = 0;
    // The function's value for the current argument values and data.
    virtual boost::any calcFunc(const basic_data* data) const = 0;
};

// The process-wide function registry: name -> function (not owned).  Looking
// up an unknown name with operator[] leaves a null entry under it.  One map
// for the library and every host.
ZU_ZOZOV_EXPORT std::map<std::string, basic_function*>& getFuncMap();

// Base of a function class T.  The declaration is class-wide (one per T, in
// the whole process); the argument values belong to the object.
template <typename T>
class ZU_ZOZOV_TEMPLATE_EXPORT CBaseFunc : public basic_function {
  public:
    unsigned paramSize() const override { return static_cast<unsigned>(m_paramValues.size()); }
    boost::any returnType() const override { return m_returnType; }
    unsigned paramNum() const override { return m_paramNum; }
    std::string& funcName() const override { return m_name; }
    // The values' holders are kept, one per position, for the next call.
    void clear() const override {
        if (m_spare.size() < m_paramValues.size()) m_spare.resize(m_paramValues.size());
        for (std::size_t i = 0; i < m_paramValues.size(); ++i) {
            m_spare[i] = std::move(m_paramValues[i]);
        }
        m_paramValues.clear();
    }
    boost::any getParamType(unsigned i) const override {
        return i < m_paramType.size() ? m_paramType[i] : boost::any();
    }
    // A value of the same common type as the kept holder of its position is
    // assigned into that holder instead of being copied into a new one.
    void addParamValue(const boost::any& v) const override {
        const std::size_t i = m_paramValues.size();
        if (i < m_spare.size() && detail::assignInPlace(m_spare[i], v)) {
            m_paramValues.push_back(std::move(m_spare[i]));
        } else {
            m_paramValues.push_back(v);
        }
    }
    std::vector<boost::any>& getParamValues() const override { return m_paramValues; }

  protected:
    static bool isInited() { return m_inited; }
    static void setInited(bool inited) { m_inited = inited; }
    static void setFuncName(const std::string& name) { m_name = name; }
    static void setReturnType(const boost::any& type) { m_returnType = type; }
    static void setParamNum(unsigned n) { m_paramNum = n; }
    static void addParamName(const std::string& name) { m_paramName.push_back(name); }
    static void addParamType(boost::any type) { m_paramType.push_back(type); }
    static const std::vector<std::string>& getParamNames() { return m_paramName; }

  private:
    mutable std::vector<boost::any> m_paramValues;
    // Holders of the last call's values, by position (see clear()).
    mutable std::vector<boost::any> m_spare;

    static std::string m_name;
    static boost::any m_returnType;
    static unsigned m_paramNum;
    static std::vector<boost::any> m_paramType;
    static std::vector<std::string> m_paramName;
    static bool m_inited;
};

template <typename T>
std::string CBaseFunc<T>::m_name;
template <typename T>
boost::any CBaseFunc<T>::m_returnType;
template <typename T>
unsigned CBaseFunc<T>::m_paramNum = 0;
template <typename T>
std::vector<boost::any> CBaseFunc<T>::m_paramType;
template <typename T>
std::vector<std::string> CBaseFunc<T>::m_paramName;
template <typename T>
bool CBaseFunc<T>::m_inited = false;

}  // namespace expr
}  // namespace qvtlib

#endif  // ZU_ZOZOV_EXPR_FUNCTION_H

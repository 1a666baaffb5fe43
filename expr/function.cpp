#include "expr/function.h"

#include <iostream>
#include <memory>
#include <typeinfo>

namespace qvtlib {
namespace expr {

basic_function::~basic_function() = default;

std::map<std::string, basic_function*>& getFuncMap() {
    static std::map<std::string, basic_function*> registry;
    return registry;
}

namespace {

basic_function* findFunction(const std::string& name, const basic_node* node) {
    basic_function* f = getFuncMap()[name];
    if (!f) throw basic_except("尚不支持该函数" + name, node->getBegin(), node->getEnd());
    return f;
}

// Empties the function's argument list when the call ends, also when the
// function throws.
struct CClearOnExit {
    const basic_function* f;
    ~CClearOnExit() { f->clear(); }
};

const std::size_t LOCAL_ARGS = 4;

}  // namespace

const boost::any& CFunc::eval(const basic_node* node, const basic_data* data,
                              boost::any& tmp) const {
    basic_function* f = findFunction(m_name, node);
    // The argument list lives in the shared function object, so the arguments
    // are evaluated first, into this call's own slots: a call of the same
    // function nested in an argument then cannot disturb this call's list.
    // Values that live in the tree or the data are referred to, not copied.
    const std::size_t count = node->childCount();
    boost::any localSlots[LOCAL_ARGS];
    const boost::any* localValues[LOCAL_ARGS];
    std::unique_ptr<boost::any[]> heapSlots;
    std::unique_ptr<const boost::any*[]> heapValues;
    boost::any* slots = localSlots;
    const boost::any** values = localValues;
    if (count > LOCAL_ARGS) {
        heapSlots.reset(new boost::any[count]);
        heapValues.reset(new const boost::any*[count]);
        slots = heapSlots.get();
        values = heapValues.get();
    }
    std::size_t n = 0;
    for (const basic_node* c = node->getChild(); c; c = c->getNextSibling()) {
        const boost::any& v = c->eval(data, slots[n]);
        if (!v.empty()) values[n++] = &v;  // unbound variables and placeholders do not reach f
    }
    f->clear();
    CClearOnExit guard{f};
    for (std::size_t i = 0; i < n; ++i) f->addParamValue(*values[i]);
    tmp = f->calcFunc(data);
    return tmp;
}

boost::any CFunc::calc(const basic_node* node, const basic_data* data) const {
    boost::any tmp;
    eval(node, data, tmp);
    return tmp;
}

boost::any CFunc::check(const basic_node* node, const basic_data* data) const {
    basic_function* f = findFunction(m_name, node);
    unsigned i = 0;
    for (const basic_node* c = node->getChild(); c; c = c->getNextSibling()) {
        boost::any t = c->check(data);
        if (t.empty() && f->paramNum() == 0) break;
        if (!f->checkParamType(i, t) && i < f->paramNum()) {
            throw basic_except(
                "函数" + m_name + "的参数类型不匹配，该函数声明为：" + f->getDeclareInfo(),
                c->getBegin(), c->getEnd());
        }
        if (!t.empty()) ++i;
    }
    if (i != f->paramNum()) {
        throw basic_except(
            "函数 " + m_name + "的参数个数不匹配，该函数声明为" + f->getDeclareInfo(),
            node->getBegin(), node->getEnd());
    }
    return f->returnType();
}

void CFunc::dump() const { print(std::cout); }
void CFunc::print(std::ostream& out) const { out << "func:" << m_name; }

}  // namespace expr
}  // namespace qvtlib

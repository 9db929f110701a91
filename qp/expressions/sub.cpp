// Negation and subtraction, each written as a merge with a negated operand.
#include "qp/expressions/sub.hpp"

#include "qp/expressions/add.hpp"

namespace qp {

AffineExpression operator-(AffineExpression expression) {
    expression.coefficients.transform_values([](double c) { return -c; });
    expression.constant = -expression.constant;
    return expression;
}

AffineExpression operator-(AffineExpression expression, double f) {
    AffineExpression negated_constant;
    negated_constant.constant = -f;
    expression += negated_constant;
    return expression;
}

AffineExpression operator-(AffineExpression expression, Variable v) {
    expression.coefficients.add(v.index, -1.0);
    return expression;
}

AffineExpression operator-(Variable v, AffineExpression expression) {
    AffineExpression result = -std::move(expression);
    result += AffineExpression(v);
    return result;
}

}  // namespace qp

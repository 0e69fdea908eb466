// Put before every fragment program in the browser. GLSL ES 1.00 has no
// gl_ModelViewMatrixInverse; the GL emulation uploads the current modelview
// matrix to a uniform named u_modelView, which is inverted here instead.
uniform mat4 u_modelView;

mat4 inverseOf(mat4 m)
{
    float b00 = m[0][0] * m[1][1] - m[0][1] * m[1][0];
    float b01 = m[0][0] * m[1][2] - m[0][2] * m[1][0];
    float b02 = m[0][0] * m[1][3] - m[0][3] * m[1][0];
    float b03 = m[0][1] * m[1][2] - m[0][2] * m[1][1];
    float b04 = m[0][1] * m[1][3] - m[0][3] * m[1][1];
    float b05 = m[0][2] * m[1][3] - m[0][3] * m[1][2];
    float b06 = m[2][0] * m[3][1] - m[2][1] * m[3][0];
    float b07 = m[2][0] * m[3][2] - m[2][2] * m[3][0];
    float b08 = m[2][0] * m[3][3] - m[2][3] * m[3][0];
    float b09 = m[2][1] * m[3][2] - m[2][2] * m[3][1];
    float b10 = m[2][1] * m[3][3] - m[2][3] * m[3][1];
    float b11 = m[2][2] * m[3][3] - m[2][3] * m[3][2];
    float det = b00 * b11 - b01 * b10 + b02 * b09 + b03 * b08 - b04 * b07 + b05 * b06;
    return mat4(
        m[1][1] * b11 - m[1][2] * b10 + m[1][3] * b09,
        m[0][2] * b10 - m[0][1] * b11 - m[0][3] * b09,
        m[3][1] * b05 - m[3][2] * b04 + m[3][3] * b03,
        m[2][2] * b04 - m[2][1] * b05 - m[2][3] * b03,
        m[1][2] * b08 - m[1][0] * b11 - m[1][3] * b07,
        m[0][0] * b11 - m[0][2] * b08 + m[0][3] * b07,
        m[3][2] * b02 - m[3][0] * b05 - m[3][3] * b01,
        m[2][0] * b05 - m[2][2] * b02 + m[2][3] * b01,
        m[1][0] * b10 - m[1][1] * b08 + m[1][3] * b06,
        m[0][1] * b08 - m[0][0] * b10 - m[0][3] * b06,
        m[3][0] * b04 - m[3][1] * b02 + m[3][3] * b00,
        m[2][1] * b02 - m[2][0] * b04 - m[2][3] * b00,
        m[1][1] * b07 - m[1][0] * b09 - m[1][2] * b06,
        m[0][0] * b09 - m[0][1] * b07 + m[0][2] * b06,
        m[3][1] * b01 - m[3][0] * b03 - m[3][2] * b00,
        m[2][0] * b03 - m[2][1] * b01 + m[2][2] * b00) / det;
}

#define gl_ModelViewMatrixInverse inverseOf(u_modelView)

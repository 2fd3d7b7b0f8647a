#include "platform/gpu/Pipeline.h"

#include "platform/gpu/Context.h"
#include "platform/gpu/GpuError.h"
#include "platform/gpu/ShaderLibrary.h"

#include <epoxy/gl.h>
#include <fmt/format.h>

#include <string>

namespace gpu {

namespace {

std::string shaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(std::size_t(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, GLsizei(log.size()), nullptr, log.data());
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

std::string programLog(GLuint program)
{
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(std::size_t(std::max(length, 1)), '\0');
    glGetProgramInfoLog(program, GLsizei(log.size()), nullptr, log.data());
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    return log;
}

GLuint compile(const ShaderLibrary& library, const std::string& name, GLenum stage)
{
    const auto source = library.source(name);
    if (!source)
        throw GpuError(fmt::format("fonction GPU \"{}\" introuvable dans {}", name, library.folder().string()));
    const GLuint shader = glCreateShader(stage);
    const char* text = source->c_str();
    const GLint length = GLint(source->size());
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        const std::string log = shaderLog(shader);
        glDeleteShader(shader);
        throw GpuError(fmt::format("fonction GPU \"{}\" : compilation impossible\n{}", name, log));
    }
    return shader;
}

} // namespace

Pipeline::Pipeline(Context& context, const ShaderLibrary& library, const PipelineDescriptor& descriptor)
    : vertexBuffers_(descriptor.vertexBuffers)
    , deletions_(context.deletionQueue())
{
    const GLuint vertex = compile(library, descriptor.vertexFunction, GL_VERTEX_SHADER);
    GLuint fragment = 0;
    try {
        fragment = compile(library, descriptor.fragmentFunction, GL_FRAGMENT_SHADER);
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        const std::string log = programLog(program);
        glDeleteProgram(program);
        throw GpuError(fmt::format("fonctions GPU \"{}\" et \"{}\" : édition de liens impossible\n{}",
            descriptor.vertexFunction, descriptor.fragmentFunction, log));
    }
    program_ = program;

    // A block or sampler that the compiler dropped as unused needs no binding.
    for (const auto& [name, binding] : descriptor.uniformBlocks) {
        const GLuint index = glGetUniformBlockIndex(program, name.c_str());
        if (index != GL_INVALID_INDEX)
            glUniformBlockBinding(program, index, GLuint(binding));
    }
    glUseProgram(program);
    for (const auto& [name, unit] : descriptor.textures) {
        const GLint location = glGetUniformLocation(program, name.c_str());
        if (location >= 0)
            glUniform1i(location, unit);
    }
    glUseProgram(0);

    GLuint vertexArray = 0;
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    for (const VertexLayout& layout : vertexBuffers_) {
        for (const VertexAttribute& attribute : layout.attributes) {
            glEnableVertexAttribArray(GLuint(attribute.location));
            glVertexAttribDivisor(GLuint(attribute.location), layout.perInstance ? 1 : 0);
        }
    }
    glBindVertexArray(0);
    vertexArray_ = vertexArray;
}

Pipeline::~Pipeline()
{
    if (auto deletions = deletions_.lock()) {
        deletions->release(GlObjectKind::program, program_);
        deletions->release(GlObjectKind::vertexArray, vertexArray_);
    }
}

const VertexLayout* Pipeline::vertexLayout(int slot) const
{
    for (const VertexLayout& layout : vertexBuffers_) {
        if (layout.slot == slot)
            return &layout;
    }
    return nullptr;
}

} // namespace gpu

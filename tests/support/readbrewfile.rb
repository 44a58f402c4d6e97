# Reads Brewfiles with Homebrew's own Brewfile reader (Library/Homebrew/bundle/dsl.rb and the entry
# kinds of bundle/extensions/), from a Homebrew checkout whose Library/Homebrew is the first argument.
# The type annotations of that code are checked by a runtime Homebrew ships and this machine lacks;
# they are accepted here as no-ops, which changes nothing a Brewfile's reading depends on. Prints a
# JSON array with, for each Brewfile, its entries as [type, name, options] or the error it raised.
#   ruby readbrewfile.rb LIBRARY_HOMEBREW BREWFILE...
require "json"
require "pathname"

module T
  def self.type_alias(*) = nil
  def self.let(value, *) = value
  def self.cast(value, *) = value
  def self.must(value) = value
  def self.nilable(*) = nil
  def self.any(*) = nil
  def self.untyped = nil
  def self.anything = nil
  def self.class_of(*) = nil
  def self.type_parameter(*) = nil
  module Sig
    def sig(*) = nil
  end
  module Helpers
    def abstract! = nil
    def interface! = nil
    def requires_ancestor(*) = nil
  end
  Boolean = Object
  class Struct
    def self.const(*) = nil
    def self.prop(*) = nil
  end
  class Hash; def self.[](*) = nil; end
  class Array; def self.[](*) = nil; end
end
class Module
  include T::Sig
end

class Object
  def blank? = respond_to?(:empty?) ? !!empty? : !self
  def present? = !blank?
  def presence = present? ? self : nil
end
class String
  def blank? = strip.empty?
end
class Array
  def exclude?(item) = !include?(item)
end

# What dsl.rb asks of the rest of Homebrew while reading: a cask's name without its tap.
module Utils
  def self.name_from_full_name(name) = name.split("/").last
end

# The other parts of Homebrew the entry kinds load (process helpers, language support) serve
# installing, not reading; they are not there to load, and only the reader's own files must be.
module Kernel
  alias_method :require_before_stubs, :require
  def require(name)
    require_before_stubs(name)
  rescue LoadError
    raise if name.start_with?("bundle/")
    false
  end
end

library = ARGV.shift
$LOAD_PATH.unshift(library)
module Homebrew
  module Bundle
    class << self
      def register_package_type(*) = nil
    end
  end
end
require "bundle/dsl"
require "bundle/extensions"

results = ARGV.map do |path|
  dsl = Homebrew::Bundle::Dsl.new(Pathname.new(path))
  { "entries" => dsl.entries.map { |e| [e.type.to_s, e.name, e.options] } }
rescue Exception => e
  { "error" => e.message }
end
STDOUT.write(JSON.generate(results))

#!/usr/bin/perl
# Writes a database with Palm::PDB (Palm::Raw) and reads it through the Sync Manager.
use strict;
use warnings;
use File::Temp qw(tempdir);

eval { require Palm::PDB; require Palm::Raw; Palm::Raw->import; 1 } or do { print "Palm::PDB missing\n"; exit 77 };

my $tool = shift or die "usage: $0 <pdb_tool>\n";
my $dir = tempdir(CLEANUP => 1);
mkdir "$dir/handheld" or die;
$ENV{LUMORA_WINDOWS_DIR} = "$dir/windows";

my $pdb = Palm::Raw->new;
$pdb->{name} = "From Perl";
$pdb->{type} = "bpmc";
$pdb->{creator} = "SkVa";
$pdb->{version} = 5;
$pdb->{attributes}{backup} = 1;
$pdb->{appinfo} = pack("nN", 12, 4097);
my @data = ("x" x 4096, "\x01", "");
for my $d (@data) {
  my $rec = $pdb->append_Record;
  $rec->{data} = $d;
  $rec->{category} = 1;
}
$pdb->Write("$dir/handheld/From Perl.pdb");

my $out = `"$tool" dump "$dir/handheld" "From Perl"`;
$? == 0 or die "pdb_tool dump failed\n";
my $want = "name=From Perl\ntype=bpmc\ncreator=SkVa\nversion=5\nattributes=8\nrecords=3\n"
  . "appinfo=000c00001001\n";
for my $i (0 .. $#data) {
  $want .= sprintf("record=%u 1 %s\n", $pdb->{records}[$i]{id}, unpack("H*", $data[$i]));
}
if ($out ne $want) { print "got:\n$out\nwant:\n$want"; exit 1; }
exit 0;

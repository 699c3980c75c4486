x=0.25, y=0.2
a=0.1, b=0.5
k,l
d
x1=a*x+y
y1=b*y+x
k=x+y
l=(x+y)^2
x=x1
y=y1

